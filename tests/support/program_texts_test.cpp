// The translator's template must hold every text the program shows, and the shipped German table must translate
// all of them. The sources are read for the forms in which the program hands a text to the table: calls of
// Translate, the menu builder's captions, failure texts set for the error box, the button hints' table and the
// undo names.
#include "support/language.h"
#include "support/language_table.h"
#include "support/program_texts.h"
#include "testlib/test_env.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString SourceRoot()
{
    return TestDataPath() + "/../..";
}

struct TShownText {
    QString Text;
    QString Where;
};

// The code without its comments, string literals kept, line breaks kept so positions still name lines.
QString WithoutComments(const QString& code)
{
    QString out;
    out.reserve(code.size());
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype start = i;
            for (++i; i < code.size() && code[i] != c && code[i] != u'\n'; ++i)
                if (code[i] == u'\\')
                    ++i;
            out += code.mid(start, i - start + 1);
        } else if (code.mid(i, 2) == "//") {
            while (i < code.size() && code[i] != u'\n')
                ++i;
            out += u'\n';
        } else if (code.mid(i, 2) == "/*") {
            const qsizetype end = code.indexOf("*/", i + 2);
            out += QString(code.mid(i, (end < 0 ? code.size() : end + 2) - i).count(u'\n'), u'\n');
            i = end < 0 ? code.size() : end + 1;
        } else {
            out += c;
        }
    }
    return out;
}

QStringList Literals(const QString& code)
{
    static const QRegularExpression literal(R"re("((?:[^"\\\n]|\\.)*)")re");
    QStringList texts;
    for (const QRegularExpressionMatch& m : literal.globalMatch(code))
        texts << m.captured(1).replace("\\\"", "\"").replace("\\\\", "\\");
    return texts;
}

// The arguments of the call whose opening parenthesis stands at open.
QString Arguments(const QString& code, qsizetype open)
{
    int depth = 0;
    for (qsizetype i = open; i < code.size(); ++i) {
        if (code[i] == u'"') {
            for (++i; i < code.size() && code[i] != u'"'; ++i)
                if (code[i] == u'\\')
                    ++i;
        } else if (code[i] == u'(') {
            ++depth;
        } else if (code[i] == u')' && --depth == 0) {
            return code.mid(open + 1, i - open - 1);
        }
    }
    return {};
}

QList<TShownText> ShownTexts()
{
    // Calls whose every literal is shown, and the menu builder's calls, whose second literal is the caption.
    static const QRegularExpression call(R"(\b(Translated?|ShowError|EGeneralError|Text|AddItem|AddSubmenu)\s*\()");
    static const QRegularExpression assigned(
        R"re(\b(?:LastError|ErrorText|StartupError|Error|failure|k\w*(?:Error|Memory|Failed|Image|Undo\w+))\s*=\s*)re"
        R"re((?:QStringLiteral\(|QString\(|Text\()?\s*"((?:[^"\\]|\\.)*)")re");
    // A row of the command table: button tag, then the button's hint.
    static const QRegularExpression hintRow(R"re(,\s*\d+\s*,\s*"([^"]+)"\s*,\s*(?:true|false)\b)re");

    QList<TShownText> found;
    QDirIterator files(SourceRoot() + "/src", {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString name = path.mid(path.indexOf("/src/") + 1);
        if (name.startsWith("src/support/tool/") || name == "src/support/program_texts.cpp")
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString code = WithoutComments(QString::fromUtf8(file.readAll()));
        const auto add = [&](const QString& text, qsizetype at) {
            found.push_back({text, QStringLiteral("%1:%2").arg(name).arg(code.left(at).count(u'\n') + 1)});
        };
        for (const QRegularExpressionMatch& m : call.globalMatch(code)) {
            const QStringList texts = Literals(Arguments(code, m.capturedEnd() - 1));
            const bool menu = m.captured(1).startsWith("Add");
            for (qsizetype i = menu ? 1 : 0; i < (menu ? std::min<qsizetype>(2, texts.size()) : texts.size()); ++i)
                add(texts[i], m.capturedStart());
        }
        for (const QRegularExpressionMatch& m : assigned.globalMatch(code))
            add(m.captured(1), m.capturedStart());
        for (const QRegularExpressionMatch& m : hintRow.globalMatch(code))
            add(m.captured(1), m.capturedStart());
        // The named failure texts are shown wherever their names are used.
        if (name == "src/common/failure_texts.h")
            for (const QString& text : Literals(code))
                add(text, 0);
    }
    return found;
}

bool HasLetter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

TLanguage ListedTexts()
{
    TLanguage listed;
    for (const QString& text : ProgramTexts())
        listed.AddEntry(SplitLine(text).Key, text);
    return listed;
}

TLanguage ShippedGerman()
{
    TLanguage german;
    QFile file(SourceRoot() + "/translations/de.tsv");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QString error;
    int repeated = 0;
    EXPECT_TRUE(ImportTable(file.readAll(), german, error, nullptr, &repeated)) << error.toStdString();
    // A text given twice makes the translator's tool warn at every install.
    EXPECT_EQ(repeated, 0) << "translations/de.tsv gives a text twice (menu and plain forms share one entry)";
    return german;
}

}  // namespace

TEST(ProgramTexts, EveryTextTheSourcesShowIsListed)
{
    const QList<TShownText> shown = ShownTexts();
    ASSERT_GT(shown.size(), 50) << "the sources were not found below " << SourceRoot().toStdString();
    const TLanguage listed = ListedTexts();
    QString missing;
    QSet<QString> reported;
    for (const TShownText& text : shown) {
        const QString key = SplitLine(text.Text).Key;
        if (HasLetter(key) && listed.Lookup(key) < 0 && !reported.contains(key)) {
            reported.insert(key);
            missing += QStringLiteral("    \"%1\",  // %2\n").arg(text.Text, text.Where);
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << "Texts the program shows that the translator's template lacks; add them to "
                                      "src/support/program_texts.cpp and their translations to translations/de.tsv:\n"
                                   << missing.toStdString();
}

TEST(ProgramTexts, TheGermanTableTranslatesEveryTextAndKeepsEveryAccelerator)
{
    const TLanguage german = ShippedGerman();
    QString missing;
    QString withoutMark;
    for (const QString& text : ProgramTexts()) {
        if (german.Lookup(SplitLine(text).Key) < 0)
            missing += "    " + text + "\t\n";
        else if (text.contains(u'&') && !german.TranslateText(text).contains(u'&'))
            withoutMark += "    " + text + " -> " + german.TranslateText(text) + "\n";
    }
    EXPECT_TRUE(missing.isEmpty()) << "Texts translations/de.tsv does not translate (English, tab, German):\n"
                                   << missing.toStdString();
    EXPECT_TRUE(withoutMark.isEmpty()) << "German menu texts without an accelerator mark:\n"
                                       << withoutMark.toStdString();
}
