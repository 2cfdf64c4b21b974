#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A text INI file that behaves as the classic profile functions do: section and key names match in any letter
// case, the first of repeated sections and of repeated keys wins, and the file and the section are made by the
// first write into them. Every line the program does not change (other sections, comments, keys it does not
// know, blank lines, line ends) is kept byte for byte. Writes change the text in memory; Save replaces the file
// in one step, so a crash or a full disk never leaves half a file.
class TIniFile {
public:
    // A settings file is a few hundred bytes; anything near this is not one, and is left alone.
    static constexpr qsizetype kMaxFileBytes = qsizetype(64) << 10;
    // Longer values are cut to this many characters when read.
    static constexpr qsizetype kMaxValueChars = 1023;

    TIniFile() = default;
    // The file's text, for tests and the fuzzer; Save needs a name.
    explicit TIniFile(const QByteArray& text);

    // Reads the file; an absent file reads as empty, so the first write creates it. False, with ErrorText,
    // when it exists but is not a readable regular file of at most kMaxFileBytes.
    bool Load(const QString& fileName);

    // The value of the section's first key of that name, blanks around it and one pair of enclosing quotes
    // taken off, cut to kMaxValueChars; nothing when the section or the key is missing.
    std::optional<QString> ReadString(const QString& section, const QString& key) const;

    // Sets the section's first key of that name, or adds the key at the end of the section, or the section at
    // the end of the file. False, with ErrorText, for a name or value that a line cannot hold.
    bool WriteString(const QString& section, const QString& key, const QString& value);

    // The whole text as it would be saved.
    QByteArray Text() const;

    // Replaces the file with Text() atomically. Refuses, with ErrorText and the old file untouched, a symbolic
    // link, a file or folder without the owner's write permission, and anything that is not a regular file.
    bool Save(const QString& fileName);

    QString ErrorText;

private:
    // One line, parsed once: look-ups must not parse the whole file again for every key.
    struct TLine {
        enum class TKind { Other, Section, Key };
        QByteArray Bytes;  // as in the file, with its line end
        TKind Kind = TKind::Other;
        QString Name;      // the section's or the key's name
        QByteArray Value;  // a key's value, blanks around taken off
    };
    static TLine ParseLine(const QByteArray& bytes);

    struct TSectionRange {
        qsizetype Header = -1;  // line of the section's header
        qsizetype End = 0;      // first line after the section
    };

    std::optional<TSectionRange> FindSection(const QString& section) const;
    qsizetype FindKey(const TSectionRange& range, const QString& key) const;
    void EndLastLine();
    bool Fail(const QString& fileName);

    QList<TLine> FLines;     // the last one may have no line end
    QByteArray FLineEnd = "\n";  // new lines take the file's own line ends
    QString FFileName;
};
