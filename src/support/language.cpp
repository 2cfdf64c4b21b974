#include "support/language.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "common/translate.h"
#include "support/component_stream.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <memory>

namespace {

// Printable ASCII, fixed for every copy of the program.
constexpr char kDefaultKeyA[] = "%v{e){UOp=5D;&(;[]>H.4:?YVih&A9qQl}i5O:^thwdwRBtylvd0G";
constexpr char kDefaultKeyB[] = "FaI]P0PM!sWJh>cOGAjv0Iq1.Cx/9SUs06}:$6#:.Lb&^-]s{rr";
constexpr char kMasterKeyA[] = "ClapXPh9VcDj+KOp3uoxsTZ%b7szQ;j(uNf7{._4IE%";
constexpr char kMasterKeyB[] = "v9oB;vo(*LlfzcSTnEsV4;cv|J<_R@}U)2yxO4#!<|%dczs4^D-P@vJ+a%_7NZ6E3]W8FvLvlxl-Ptxz?w$uF";
constexpr bool Printable(const char* key)
{
    for (; *key; ++key)
        if (*key < 0x20 || *key > 0x7e)
            return false;
    return true;
}
static_assert(sizeof kDefaultKeyA - 1 == 54 && sizeof kDefaultKeyB - 1 == 51);
static_assert(sizeof kMasterKeyA - 1 == 43 && sizeof kMasterKeyB - 1 == 85);
static_assert(Printable(kDefaultKeyA) && Printable(kDefaultKeyB) && Printable(kMasterKeyA) && Printable(kMasterKeyB));

QByteArray ShiftByKey(const QByteArray& text, const QByteArray& key, int sign)
{
    if (key.isEmpty())
        return text;
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype n = 0; n < text.size(); ++n)
        out[n] = char(std::uint8_t(std::uint8_t(text[n]) + sign * std::uint8_t(key[n % key.size()])));
    return out;
}

bool SameName(const QByteArray& a, const char* b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where the text's own accelerator mark stands: an "&" before any character but "&" ("&&" shows one "&").
qsizetype MarkIndex(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return i;
        ++i;
    }
    return -1;
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

std::unique_ptr<TLanguage>& Instance()
{
    static std::unique_ptr<TLanguage> instance;
    return instance;
}

}  // namespace

QByteArray AddKey(const QByteArray& text, const QByteArray& key)
{
    return ShiftByKey(text, key, 1);
}

QByteArray SubtractKey(const QByteArray& text, const QByteArray& key)
{
    return ShiftByKey(text, key, -1);
}

QByteArray DefaultKeyA() { return QByteArray(kDefaultKeyA); }
QByteArray DefaultKeyB() { return QByteArray(kDefaultKeyB); }
QByteArray BuiltInMasterKeyA() { return QByteArray(kMasterKeyA); }
QByteArray BuiltInMasterKeyB() { return QByteArray(kMasterKeyB); }

TLineParts SplitLine(const QString& line)
{
    TLineParts parts;
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == u' ' || line[end - 1] == u',' || line[end - 1] == u'.'))
        --end;
    if (end == 0)
        end = line.size();
    parts.Key = line.left(end);
    parts.Tail = line.mid(end);
    if (const qsizetype amp = parts.Key.indexOf(u'&'); amp >= 0) {
        if (amp + 1 < parts.Key.size())
            parts.Letter = parts.Key[amp + 1];
        parts.Key.remove(amp, 1);
    }
    return parts;
}

QString AsciiUpperCase(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return upper;
}

TLanguage::TLanguage(bool loadNow)
    : MasterKeyA(kMasterKeyA), MasterKeyB(kMasterKeyB), Pause([](int ms) { QThread::msleep(ms); })
{
    ResetDefaults();
    if (loadNow)
        Load();
}

void TLanguage::ResetDefaults()
{
    pC = "English";
    pP.clear();
    pD.clear();
    Entries.clear();
    KeyA = kDefaultKeyA;
    KeyB = kDefaultKeyB;
}

bool TLanguage::Load()
{
    return LoadFile(GetPaths().DataFolder("Settings") + kFileName);
}

bool TLanguage::LoadFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        ResetDefaults();
        return true;
    }
    for (int attempt = 1; attempt <= kLoadAttempts; ++attempt) {
        if (LoadAttempt(path))
            return true;
        if (LastError != kFileInUse)
            return false;
        if (attempt < kLoadAttempts && Pause)
            Pause(kRetryPauseMs);
    }
    ResetDefaults();
    return false;
}

bool TLanguage::LoadAttempt(const QString& path)
{
    LastError = kFileNotFound;
    if (!QFileInfo::exists(path))
        return false;
    LastError = kFileInUse;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    LastError = kUnsupportedFormat;
    ResetDefaults();
    const qint64 size = file.size();
    if (size > kMaxFileBytes)
        return false;
    return ReadFrom(file.read(size));
}

bool TLanguage::ReadFrom(const QByteArray& bytes)
{
    LastError = kUnsupportedFormat;
    ResetDefaults();
    if (ApplyProperties(bytes))
        return true;
    ResetDefaults();
    return false;
}

// The properties take effect in the order they stand, so the keys a file carries unscramble what follows them.
bool TLanguage::ApplyProperties(const QByteArray& bytes)
{
    qsizetype offset = 0;
    TComponentStream stream;
    if (!ReadComponentStream(bytes, offset, stream))
        return false;
    for (const TStreamProperty& property : stream.Properties) {
        if (!property.Value.IsText())
            return false;
        const QByteArray& name = property.Name;
        const QByteArray& value = property.Value.Text;
        // An empty text is never written, so one standing in a file counts as absent: the default stays, and
        // in particular an empty pA or pB does not replace a key by an empty one.
        const bool known = SameName(name, "pC") || SameName(name, "pP") || SameName(name, "pA") ||
                           SameName(name, "pB") || SameName(name, "pD") || SameName(name, "pI");
        if (!known)
            return false;
        if (value.isEmpty())
            continue;
        if (SameName(name, "pC"))
            pC = value;
        else if (SameName(name, "pP"))
            pP = value;
        else if (SameName(name, "pA"))
            SetpA(value);
        else if (SameName(name, "pB"))
            SetpB(value);
        else if (SameName(name, "pD"))
            SetpD(value);
        else
            SetpI(value);
    }
    return true;
}

QByteArray TLanguage::WriteStream() const
{
    TComponentStream stream;
    stream.ClassName = "TLanguage";
    stream.AddText("pC", pC);
    stream.AddText("pP", pP);
    stream.AddText("pA", GetpA());
    stream.AddText("pB", GetpB());
    stream.AddText("pD", GetpD());
    stream.AddText("pI", GetpI());
    return WriteComponentStream(stream);
}

QByteArray TLanguage::GetpA() const { return SubtractKey(KeyA, MasterKeyA); }
QByteArray TLanguage::GetpB() const { return SubtractKey(KeyB, MasterKeyB); }
QByteArray TLanguage::GetpD() const { return SubtractKey(pD, KeyA); }
void TLanguage::SetpA(const QByteArray& value) { KeyA = AddKey(value, MasterKeyA); }
void TLanguage::SetpB(const QByteArray& value) { KeyB = AddKey(value, MasterKeyB); }
void TLanguage::SetpD(const QByteArray& value) { pD = AddKey(value, KeyA); }

// One TLI stream per entry; an empty text is not stored, so an entry may lack X or Y.
QByteArray TLanguage::GetpI() const
{
    QByteArray chain;
    for (const TLanguageEntry& entry : Entries) {
        TComponentStream item;
        item.ClassName = "TLI";
        item.AddText("X", AddKey(entry.EnglishText.toLatin1(), KeyA));
        item.AddText("Y", AddKey(entry.TranslatedText.toLatin1(), KeyB));
        chain += WriteComponentStream(item);
    }
    return chain;
}

// Reading stops at the end of the value, at the first entry that cannot be read (it is dropped) or after
// kMaxEntries. A text an entry lacks is empty: it is never taken over from the entry before.
void TLanguage::SetpI(const QByteArray& value)
{
    Entries.clear();
    qsizetype offset = 0;
    while (Count() < kMaxEntries && offset < value.size()) {
        TComponentStream item;
        if (!ReadComponentStream(value, offset, item))
            return;
        QByteArray x;
        QByteArray y;
        for (const TStreamProperty& property : item.Properties) {
            if (!property.Value.IsText())
                return;
            if (SameName(property.Name, "X"))
                x = property.Value.Text;
            else if (SameName(property.Name, "Y"))
                y = property.Value.Text;
            else
                return;
        }
        AddEntry(QString::fromLatin1(SubtractKey(x, KeyA)), QString::fromLatin1(SubtractKey(y, KeyB)));
    }
}

void TLanguage::AddEntry(const QString& english, const QString& translated)
{
    Entries.push_back({english, translated, AsciiUpperCase(english)});
}

// ASCII letter case does not matter, but an entry written exactly as the text wins over the first that differs
// in case only, so "copy" (a count) and "Copy" (a command) can have different translations.
int TLanguage::Lookup(const QString& text) const
{
    if (text.isEmpty())
        return -1;
    const QString upper = AsciiUpperCase(text);
    const QChar first = upper[0];
    int found = -1;
    for (int i = 0; i < Count(); ++i) {
        const TLanguageEntry& entry = Entries[size_t(i)];
        // Most entries differ in their first character; an empty key never matches.
        if (entry.EnglishUpper.isEmpty() || entry.EnglishUpper[0] != first || entry.EnglishUpper != upper)
            continue;
        if (entry.EnglishText == text)
            return i;
        if (found < 0)
            found = i;
    }
    return found;
}

bool TLanguage::TranslateLine(QString& line) const
{
    const int index = Lookup(line);
    if (index < 0)
        return false;
    line = Entries[size_t(index)].TranslatedText;
    return true;
}

// A line without an entry stays exactly as written, its mark where it was. A found line takes the translation;
// when the English line had a mark, the translator's own mark is kept, else one goes before the first
// occurrence of the English letter (none when the letter does not occur). A line without a mark (a hint, a
// status text) sharing its entry with a menu item shows the translation without the translator's mark.
QString TLanguage::TranslateText(const QString& text, bool* allFound) const
{
    bool found = true;
    bool anyFound = false;
    QString result;
    const QStringList lines = SplitLines(text);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const TLineParts parts = SplitLine(lines[n]);
        QString line = parts.Key;
        if (TranslateLine(line)) {
            const qsizetype mark = MarkIndex(line);
            if (parts.Letter.isNull() || parts.Letter == u'&') {
                if (mark >= 0)
                    line.remove(mark, 1);
            } else if (mark < 0) {
                const qsizetype at = line.indexOf(parts.Letter, 0, Qt::CaseInsensitive);
                if (at >= 0)
                    line.insert(at, u'&');
            }
            anyFound = true;
        } else {
            line = lines[n].chopped(parts.Tail.size());
            found = false;
        }
        result += line + parts.Tail;
        if (n + 1 < lines.size())
            result += QStringLiteral("\r\n");
    }
    if (allFound)
        *allFound = found;
    // A text without any entry is shown exactly as passed, its line breaks included.
    return anyFound ? result : text;
}

TLanguage* GetLanguage()
{
    std::unique_ptr<TLanguage>& instance = Instance();
    if (!instance)
        Guarded([&] { instance = std::make_unique<TLanguage>(true); });
    return instance.get();
}

void FreeLanguage()
{
    Instance().reset();
}

void InstallLanguage()
{
    SetTranslator(
        [](const QString& text) {
            const TLanguage* language = GetLanguage();
            return language ? language->TranslateText(text) : text;
        },
        [] { FreeLanguage(); });
}

QString TLanguageTranslator::translate(const char*, const char* sourceText, const char*, int) const
{
    if (!sourceText || !*sourceText)
        return {};
    const QString text = QString::fromUtf8(sourceText);
    const QString translated = Translate(text);
    return translated == text ? QString() : translated;
}
