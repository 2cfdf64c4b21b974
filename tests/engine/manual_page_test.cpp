// The manual page pictavo(1) names exactly the options --help names, and groff reads it without a warning.
#include "engine/command_line.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

QString ManualPage()
{
    return TestDataPath("../../docs/pictavo.1");
}

QString ReadManualPage()
{
    QFile file(ManualPage());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// "/PRINTTO", "--help", "-h", "/?" ...: every switch and option name a text mentions.
QSet<QString> OptionNames(const QString& text)
{
    static const QRegularExpression option(R"((--[a-z]+|(?<![-\w])-[a-z]\b|/\?|/[A-Z]+\b))");
    QSet<QString> names;
    for (const QRegularExpressionMatch& match : option.globalMatch(text))
        names.insert(match.captured(1));
    return names;
}

TEST(ManualPage, NamesTheOptionsOfHelp)
{
    QString page = ReadManualPage();
    ASSERT_FALSE(page.isEmpty()) << ManualPage().toStdString();
    // What a reader sees: roff's escaped hyphens and font changes taken out.
    page.replace(R"(\-)", "-").remove(QRegularExpression(R"(\\f[BIRP])"));
    const QSet<QString> help = OptionNames(CommandLineUsage());
    ASSERT_TRUE(help.contains("/PRINTTO") && help.contains("--help") && help.contains("/?"));
    EXPECT_EQ(OptionNames(page), help);
}

TEST(ManualPage, GroffReadsItWithoutWarnings)
{
    if (QStandardPaths::findExecutable("groff").isEmpty())
        GTEST_SKIP() << "groff is not installed";
    QProcess groff;
    groff.start("groff", {"-man", "-ww", "-z", ManualPage()});
    ASSERT_TRUE(groff.waitForFinished());
    EXPECT_EQ(groff.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(groff.readAllStandardError()), "");
}

}  // namespace
