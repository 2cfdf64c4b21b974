#pragma once

#include <QString>

#include <cstdint>

// Identifier of the user's desktop-menu programs folder for SpecialFolder.
inline constexpr int kProgramsFolderId = 2;

// The program's folders, directory creation, forced file deletion and copying, opening with the desktop's
// default handler, and integer clamping.
class TPaths {
public:
    std::int32_t MaxOf(std::int32_t a, std::int32_t b) const;
    std::int32_t MinOf(std::int32_t a, std::int32_t b) const;
    // lo is applied first, so hi wins when lo > hi.
    std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) const;

    // Appends "/" unless the text already ends with one; an empty text becomes "/".
    QString AddSlash(const QString& text) const;

    // The folder's path with a trailing "/", or empty when there is no such folder identifier.
    QString SpecialFolder(int id) const;
    // The user's data home: $XDG_DATA_HOME when set and absolute, else $HOME/.local/share, with a trailing "/".
    QString WindowsFolder() const;
    // The desktop-menu folder of the data home: <data home>/applications/.
    QString ProgramsFolder() const;
    // ProgramsFolder + "Wendrel Enterprises/" + name + "/", created; empty when it cannot be made, a link on the
    // way below ProgramsFolder included.
    QString StartMenuFolder(const QString& name) const;
    // WindowsFolder + "Wendrel Enterprises/", the folder every DataFolder is in; not created here.
    QString MakerDataFolder() const;
    // MakerDataFolder + name + "/", created when missing (below WindowsFolder through no link), returned even when
    // that failed.
    QString DataFolder(const QString& name) const;

    // True when no such file exists afterwards; a read-only file goes too.
    bool DeleteFileForced(const QString& path) const;
    // True when the copy was made; the target's folder is created when missing and an old target replaced.
    bool CopyFileForced(const QString& source, const QString& target) const;
    // Asks the desktop to open a file or address with its default handler; a program file is started. Working
    // folder is the folder part of target. True unless an exception occurred: the handler's answer is not read.
    bool OpenWithShell(const QString& target, const QString& parameters) const;
};

// True when path names an existing directory.
bool DirExists(const QString& path);
// Creates the directory and every missing parent. What exists already is taken as it is, links included (the
// user's own layout); what is missing is made one folder at a time, each opened without following a link. True
// when path is a folder afterwards.
bool MakeDirPath(const QString& path);
// Creates path below base, which is made as MakeDirPath makes it and may itself be a link (a data home kept on
// another disk). Below base no link is followed: every folder on the way must be a real folder or is made one,
// and a link or a file there fails the whole, as an unwritable place does. For the program's own folders inside
// the user's. True when path is a folder afterwards.
bool MakeDirPathBelow(const QString& base, const QString& path);
// Removes the folder at path when it is empty. A link is never followed: neither a link at path nor one at the
// folder that holds it. True when the folder was removed.
bool RemoveEmptyFolder(const QString& path);

// The global instance, created on first use; null when it cannot be created.
TPaths& GetPaths();
// Destroys the global instance; the next GetPaths creates a fresh one.
void FreePaths();
