#include "common/failure_texts.h"
#include "common/ini_file.h"
#include "common/translate.h"

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

// "[name]", blanks already taken off around the line; a header without its closing bracket names the rest of the line.
std::optional<QByteArray> SectionName(const QByteArray& text)
{
    if (!text.startsWith('['))
        return std::nullopt;
    const qsizetype close = text.indexOf(']');
    return text.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

bool SameName(const QString& stored, const QString& name)
{
    return stored.compare(name, Qt::CaseInsensitive) == 0;
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
        FLines << ParseLine(text.mid(start, end - start));
        start = end;
    }
    const qsizetype newline = text.indexOf('\n');
    if (newline > 0 && text[newline - 1] == '\r')
        FLineEnd = "\r\n";
}

// Comment lines, lines without "=" and lines without a name before it hold no key.
TIniFile::TLine TIniFile::ParseLine(const QByteArray& bytes)
{
    TLine line;
    line.Bytes = bytes;
    const QByteArray text = Content(bytes).trimmed();
    if (const std::optional<QByteArray> section = SectionName(text)) {
        line.Kind = TLine::TKind::Section;
        line.Name = QString::fromUtf8(*section);
        return line;
    }
    const qsizetype equals = text.indexOf('=');
    if (text.startsWith(';') || text.startsWith('#') || equals < 0)
        return line;
    const QByteArray key = text.left(equals).trimmed();
    if (key.isEmpty())
        return line;
    line.Kind = TLine::TKind::Key;
    line.Name = QString::fromUtf8(key);
    line.Value = text.mid(equals + 1).trimmed();
    return line;
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
        ErrorText = kUnknownFormat;
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ErrorText = kFileInUse;
        return false;
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes || file.error() != QFileDevice::NoError) {
        ErrorText = kUnknownFormat;
        return false;
    }
    *this = TIniFile(text);
    FFileName = fileName;
    return true;
}

std::optional<TIniFile::TSectionRange> TIniFile::FindSection(const QString& section) const
{
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        if (FLines[i].Kind != TLine::TKind::Section || !SameName(FLines[i].Name, section))
            continue;
        TSectionRange range{i, i + 1};
        while (range.End < FLines.size() && FLines[range.End].Kind != TLine::TKind::Section)
            ++range.End;
        return range;
    }
    return std::nullopt;
}

qsizetype TIniFile::FindKey(const TSectionRange& range, const QString& key) const
{
    for (qsizetype i = range.Header + 1; i < range.End; ++i) {
        if (FLines[i].Kind == TLine::TKind::Key && SameName(FLines[i].Name, key))
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
    QByteArray value = FLines[index].Value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value.left(kMaxValueChars * 4)).left(kMaxValueChars);
}

void TIniFile::EndLastLine()
{
    if (!FLines.isEmpty() && !FLines.last().Bytes.endsWith('\n'))
        FLines.last().Bytes += FLineEnd;
}

bool TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (!IsValidName(section, "]") || !IsValidKey(key) || HasLineBreak(value))
        return Fail(FFileName);
    const QByteArray newValue = value.toUtf8();
    const std::optional<TSectionRange> range = FindSection(section);
    if (!range) {
        EndLastLine();
        if (!FLines.isEmpty() && !IsBlank(FLines.last().Bytes))
            FLines << ParseLine(FLineEnd);
        FLines << ParseLine("[" + section.toUtf8() + "]" + FLineEnd)
               << ParseLine(key.toUtf8() + "=" + newValue + FLineEnd);
        return true;
    }
    const qsizetype index = FindKey(*range, key);
    if (index >= 0) {
        TLine& line = FLines[index];
        if (line.Value != newValue) {
            const QByteArray end = line.Bytes.mid(Content(line.Bytes).size());
            line = ParseLine(line.Name.toUtf8() + "=" + newValue + end);
        }
        return true;
    }
    // After the section's last line that is not blank, so blank lines keep separating the sections.
    qsizetype at = range->End;
    while (at > range->Header + 1 && IsBlank(FLines[at - 1].Bytes))
        --at;
    if (!FLines[at - 1].Bytes.endsWith('\n'))
        FLines[at - 1].Bytes += FLineEnd;
    FLines.insert(at, ParseLine(key.toUtf8() + "=" + newValue + FLineEnd));
    return true;
}

QByteArray TIniFile::Text() const
{
    QByteArray text;
    for (const TLine& line : FLines)
        text += line.Bytes;
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
    ErrorText = Translate("Unable to write to %1").arg(fileName);
    return false;
}
