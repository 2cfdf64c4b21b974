#include "common/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The line without its line end.
QByteArray Content(const QByteArray& line)
{
    qsizetype n = line.size();
    if (n > 0 && line[n - 1] == '\n')
        --n;
    if (n > 0 && line[n - 1] == '\r')
        --n;
    return line.left(n);
}

bool IsBlank(const QByteArray& line)
{
    return Content(line).trimmed().isEmpty();
}

// "[name]" with blanks anywhere around; a header without its closing bracket names the rest of the line.
std::optional<QByteArray> SectionName(const QByteArray& line)
{
    const QByteArray text = Content(line).trimmed();
    if (!text.startsWith('['))
        return std::nullopt;
    const qsizetype close = text.indexOf(']');
    return text.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

struct TKeyLine {
    QByteArray key;
    QByteArray value;  // blanks around taken off
};

// "key=value"; comment lines and lines without "=" or without a name hold no key.
std::optional<TKeyLine> KeyLine(const QByteArray& line)
{
    const QByteArray text = Content(line);
    const QByteArray start = text.trimmed().left(1);
    if (start == ";" || start == "#" || start == "[")
        return std::nullopt;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    TKeyLine result{text.left(equals).trimmed(), text.mid(equals + 1).trimmed()};
    if (result.key.isEmpty())
        return std::nullopt;
    return result;
}

bool SameName(const QByteArray& stored, const QString& name)
{
    return QString::fromUtf8(stored).compare(name, Qt::CaseInsensitive) == 0;
}

bool HasLineBreak(const QString& text)
{
    return text.contains('\n') || text.contains('\r');
}

// A name that reads back as itself: no line break, no blanks around it, and nothing that would make the line
// something else.
bool IsValidName(const QString& name, const QString& forbidden)
{
    if (name.isEmpty() || name.trimmed() != name || HasLineBreak(name))
        return false;
    for (const QChar c : forbidden) {
        if (name.contains(c))
            return false;
    }
    return true;
}

bool IsValidKey(const QString& key)
{
    return IsValidName(key, "=") && !key.startsWith('[') && !key.startsWith(';') && !key.startsWith('#');
}

bool HasOwnerWrite(const QFileInfo& info)
{
    return info.permissions().testFlag(QFileDevice::WriteOwner);
}

}  // namespace

TIniFile::TIniFile(const QByteArray& text)
{
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        FLines << text.mid(start, end - start);
        start = end;
    }
}

bool TIniFile::Load(const QString& fileName)
{
    FFileName = fileName;
    FLines.clear();
    ErrorText.clear();
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A folder, a pipe or a device is no settings file; a pipe would even block the reader.
    if (!info.isFile() || info.size() > kMaxFileBytes) {
        ErrorText = "Unknown format";
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ErrorText = "File in use";
        return false;
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes || file.error() != QFileDevice::NoError) {
        ErrorText = "Unknown format";
        return false;
    }
    *this = TIniFile(text);
    FFileName = fileName;
    return true;
}

std::optional<TIniFile::TSectionRange> TIniFile::FindSection(const QString& section) const
{
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        const std::optional<QByteArray> name = SectionName(FLines[i]);
        if (!name || !SameName(*name, section))
            continue;
        TSectionRange range{i, i + 1};
        while (range.end < FLines.size() && !SectionName(FLines[range.end]))
            ++range.end;
        return range;
    }
    return std::nullopt;
}

qsizetype TIniFile::FindKey(const TSectionRange& range, const QString& key) const
{
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const std::optional<TKeyLine> line = KeyLine(FLines[i]);
        if (line && SameName(line->key, key))
            return i;
    }
    return -1;
}

std::optional<QString> TIniFile::ReadString(const QString& section, const QString& key) const
{
    const std::optional<TSectionRange> range = FindSection(section);
    if (!range)
        return std::nullopt;
    const qsizetype index = FindKey(*range, key);
    if (index < 0)
        return std::nullopt;
    QByteArray value = KeyLine(FLines[index])->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value.left(kMaxValueChars * 4)).left(kMaxValueChars);
}

// New lines take the file's own line ends.
QByteArray TIniFile::LineEnd() const
{
    for (const QByteArray& line : FLines) {
        if (line.endsWith('\n'))
            return line.endsWith("\r\n") ? "\r\n" : "\n";
    }
    return "\n";
}

void TIniFile::EndLastLine()
{
    if (!FLines.isEmpty() && !FLines.last().endsWith('\n'))
        FLines.last() += LineEnd();
}

bool TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (!IsValidName(section, "]") || !IsValidKey(key) || HasLineBreak(value))
        return Fail(FFileName);
    const QByteArray newValue = value.toUtf8();
    const std::optional<TSectionRange> range = FindSection(section);
    if (!range) {
        EndLastLine();
        if (!FLines.isEmpty() && !IsBlank(FLines.last()))
            FLines << LineEnd();
        FLines << "[" + section.toUtf8() + "]" + LineEnd() << key.toUtf8() + "=" + newValue + LineEnd();
        return true;
    }
    const qsizetype index = FindKey(*range, key);
    if (index >= 0) {
        const TKeyLine old = *KeyLine(FLines[index]);
        if (old.value != newValue) {
            QByteArray& line = FLines[index];
            line = old.key + "=" + newValue + line.mid(Content(line).size());
        }
        return true;
    }
    // After the section's last line that is not blank, so blank lines keep separating the sections.
    qsizetype at = range->end;
    while (at > range->header + 1 && IsBlank(FLines[at - 1]))
        --at;
    if (!FLines[at - 1].endsWith('\n'))
        FLines[at - 1] += LineEnd();
    FLines.insert(at, key.toUtf8() + "=" + newValue + LineEnd());
    return true;
}

QByteArray TIniFile::Text() const
{
    QByteArray text;
    for (const QByteArray& line : FLines)
        text += line;
    return text;
}

bool TIniFile::Save(const QString& fileName)
{
    FFileName = fileName;
    ErrorText.clear();
    // QSaveFile would write to a link's target; a file the user made read-only stays as it is, even for root.
    const QFileInfo info(fileName);
    if (info.isSymLink() || (info.exists() && (!info.isFile() || !HasOwnerWrite(info))))
        return Fail(fileName);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !HasOwnerWrite(folder))
        return Fail(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(fileName);
    const QByteArray text = Text();
    if (file.write(text) != text.size() || !file.commit())
        return Fail(fileName);
    return true;
}

bool TIniFile::Fail(const QString& fileName)
{
    ErrorText = QString("Unable to write to %1").arg(fileName);
    return false;
}
