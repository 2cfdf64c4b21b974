#pragma once

#include <QFileDevice>
#include <QIODevice>
#include <QString>

#include <functional>
#include <vector>

// A file written whole or not at all. The bytes go into a temporary file beside the target; Commit flushes it
// to the disk and renames it over the target, so the old file stays until the new one is complete, and a
// symbolic link at the target's name is replaced itself, never written through. Without Commit (a failure, an
// exception) the temporary file goes and the target is untouched.
class TAtomicFile : public QIODevice {
public:
    explicit TAtomicFile(QString target);
    ~TAtomicFile() override;

    // Creates the temporary file; false with ErrorText when the target cannot be written.
    bool Open();
    // Writes what is buffered, flushes it to the disk and puts the file in place; false with ErrorText.
    bool Commit();
    // Drops the temporary file; the target stays as it was.
    void Discard();
    // The permissions the finished file gets; by default an old file's, else what the user's umask allows.
    void SetPermissions(QFileDevice::Permissions permissions);

    const QString& Target() const { return FTarget; }
    // Why the file could not be written, in a person's words; empty while all is well.
    const QString& ErrorText() const { return FError; }

    // Stand-in for the write system call, so tests can make the disk fail at a chosen byte. Returns the bytes
    // written or -1 with errno set, as write(2) does. An empty function restores the real call.
    using WriteCall = std::function<long(int fd, const char* data, unsigned long size)>;
    static WriteCall SetWriteCall(WriteCall call);

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool FlushBuffer();
    bool Fail(int error);

    QString FTarget;
    QString FTemporary;
    int FFd = -1;
    std::vector<char> FBuffer;
    QString FError;
    int FMode = -1;
};

// Writes a file through TAtomicFile: write puts the contents on the device and answers whether it could.
// False with error (a person's words) when anything failed; the old file then stays as it was.
bool WriteFileAtomically(const QString& target, const std::function<bool(QIODevice&)>& write, QString& error);
