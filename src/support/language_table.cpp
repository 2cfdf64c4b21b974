#include "support/language_table.h"

#include "support/language.h"

#include <QSet>
#include <QStringDecoder>

namespace {

constexpr char kHeader[] =
    "# Pictavo language table: the English text, a tab, its translation; one text a line.\n"
    "# Texts are stored as Latin-1 (Western European letters); other characters cannot be stored.\n"
    "# Put \"&\" before the letter that underlines in the menu; \\t \\n \\r \\\\ stand for tab, line break,\n"
    "# carriage return and backslash.\n";

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString Escape(const QString& text, bool atLineStart)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (IsControl(c))
            out += QStringLiteral("\\x") + QString::number(c, 16).rightJustified(2, u'0').toUpper();
        else if (i == 0 && atLineStart && (c == u'#' || c == u'@'))
            out += u'\\' + QString(QChar(c));
        else
            out += QChar(c);
    }
    return out;
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool Unescape(const QString& field, QString& out, QString& problem)
{
    out.clear();
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\') {
            out += field[i];
            continue;
        }
        if (++i >= field.size()) {
            problem = QStringLiteral("a backslash ends the text (write \\\\ for one)");
            return false;
        }
        switch (field[i].unicode()) {
        case u'\\': out += u'\\'; break;
        case u't': out += u'\t'; break;
        case u'n': out += u'\n'; break;
        case u'r': out += u'\r'; break;
        case u'#': out += u'#'; break;
        case u'@': out += u'@'; break;
        case u'x': {
            const int high = i + 1 < field.size() ? HexDigit(field[i + 1]) : -1;
            const int low = i + 2 < field.size() ? HexDigit(field[i + 2]) : -1;
            if (high < 0 || low < 0) {
                problem = QStringLiteral("\\x needs two hexadecimal digits");
                return false;
            }
            out += QChar(char16_t(high * 16 + low));
            i += 2;
            break;
        }
        default:
            problem = QStringLiteral("unknown escape \\%1 (write \\\\ for a backslash)").arg(field[i]);
            return false;
        }
    }
    return true;
}

// The first character a language file cannot hold, with its code point; empty when all fit.
QString OutsideLatin1(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t code = text[i].isHighSurrogate() && i + 1 < text.size()
                                  ? QChar::surrogateToUcs4(text[i], text[i + 1])
                                  : text[i].unicode();
        if (code > 0xFF) {
            const QString character = code > 0xFFFF ? text.mid(i, 2) : text.mid(i, 1);
            const QString hex = QString::number(code, 16).rightJustified(4, u'0').toUpper();
            return QStringLiteral("\"%1\" (U+%2)").arg(character, hex);
        }
    }
    return {};
}

QString Latin1(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

// The comment lines and the header fields; the keys only when the language has its own.
QString Header(const TLanguage& language, bool withKeys)
{
    QString out = QString::fromLatin1(kHeader);
    out += "@language\t" + Escape(Latin1(language.pC), false) + '\n';
    out += "@product\t" + Escape(Latin1(language.pP), false) + '\n';
    out += "@description\t" + Escape(Latin1(language.pD), false) + '\n';
    if (withKeys && language.KeyA != DefaultKeyA())
        out += "@key-a\t" + Escape(Latin1(language.KeyA), false) + '\n';
    if (withKeys && language.KeyB != DefaultKeyB())
        out += "@key-b\t" + Escape(Latin1(language.KeyB), false) + '\n';
    return out;
}

}  // namespace

QByteArray ExportTable(const TLanguage& language)
{
    QString out = Header(language, true);
    for (const TLanguageEntry& entry : language.Entries) {
        // Import takes the first "&" for a mark: a real one (of a text shown with "&&") is written doubled.
        QString english = entry.EnglishText;
        if (const qsizetype amp = english.indexOf(u'&'); amp >= 0)
            english.insert(amp, u'&');
        out += Escape(english, true) + '\t' + Escape(entry.TranslatedText, false) + '\n';
    }
    return out.toUtf8();
}

bool ImportTable(const QByteArray& table, TLanguage& language, QString& error, int* untranslated, int* repeated)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(table);
    if (decoder.hasError()) {
        error = QStringLiteral("the table is not UTF-8 text");
        return false;
    }
    language.ResetDefaults();
    int leftOut = 0;
    int again = 0;
    QSet<QString> seen;
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const auto fail = [&](const QString& why) {
            error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            language.ResetDefaults();
            return false;
        };
        const QStringList fields = line.split(u'\t');
        if (fields.size() != 2)
            return fail(fields.size() < 2 ? QStringLiteral("no tab between the English text and its translation")
                                          : QStringLiteral("more than one tab (write \\t for a tab in a text)"));
        QString english;
        QString translated;
        QString problem;
        if (!Unescape(fields[0], english, problem) || !Unescape(fields[1], translated, problem))
            return fail(problem);
        for (const QString& part : {english, translated}) {
            if (const QString bad = OutsideLatin1(part); !bad.isEmpty())
                return fail(QStringLiteral("%1 cannot be stored: a language file holds only Latin-1 characters "
                                           "(U+0000 to U+00FF); write the text without it")
                                .arg(bad));
        }
        if (fields[0].startsWith(u'@')) {
            const QByteArray value = translated.toLatin1();
            if (english == "@language")
                language.pC = value;
            else if (english == "@product")
                language.pP = value;
            else if (english == "@description")
                language.pD = value;
            else if (english == "@key-a")
                language.KeyA = value.isEmpty() ? DefaultKeyA() : value;
            else if (english == "@key-b")
                language.KeyB = value.isEmpty() ? DefaultKeyB() : value;
            else
                return fail(QStringLiteral("unknown header %1 (write \\@ for a text starting with @)").arg(english));
            continue;
        }
        const TLineParts parts = SplitLine(english);
        if (!parts.Tail.isEmpty()) {
            while (translated.endsWith(u' ') || translated.endsWith(u',') || translated.endsWith(u'.'))
                translated.chop(1);
        }
        if (translated.isEmpty()) {
            ++leftOut;
            continue;
        }
        if (seen.contains(parts.Key)) {
            ++again;
            continue;
        }
        if (language.Count() == TLanguage::kMaxEntries)
            return fail(QStringLiteral("more than %1 translated texts: the program reads only the first %1")
                            .arg(TLanguage::kMaxEntries));
        seen.insert(parts.Key);
        language.AddEntry(parts.Key, translated);
    }
    if (untranslated)
        *untranslated = leftOut;
    if (repeated)
        *repeated = again;
    return true;
}

QByteArray TemplateTable(const QStringList& texts, const TLanguage& language)
{
    QString out = Header(language, false);
    for (const QString& text : texts) {
        // The translation as it will show, with the English text's trailing dots.
        const TLineParts parts = SplitLine(text);
        const int index = language.Lookup(parts.Key);
        const QString translated = index >= 0 ? language.Entries[size_t(index)].TranslatedText + parts.Tail : QString();
        out += Escape(text, true) + '\t' + Escape(translated, false) + '\n';
    }
    return out.toUtf8();
}
