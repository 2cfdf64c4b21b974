#include "common/general.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

namespace {

TEST(TextToInt, RoundsHalvesToEven)
{
    TGeneral g;
    EXPECT_EQ(g.TextToInt("2.5"), 2);
    EXPECT_EQ(g.TextToInt("3.5"), 4);
    EXPECT_EQ(g.TextToInt("-1.5"), -2);
    EXPECT_EQ(g.TextToInt("-2.5"), -2);
    EXPECT_EQ(g.TextToInt("2.51"), 3);
    EXPECT_EQ(g.TextToInt("  17  "), 17);
    EXPECT_EQ(g.TextToInt("+8"), 8);
    EXPECT_EQ(g.TextToInt("1e3"), 1000);
    EXPECT_EQ(g.TextToInt("2.5E1"), 25);
    EXPECT_EQ(g.TextToInt(".5"), 0);
}

TEST(TextToInt, UnreadableOrOutOfRangeIsZero)
{
    TGeneral g;
    for (const char* text : {"", "   ", "12abc", "abc", "1 2", "--1", "+-1", "1e", "inf", "nan", "0x10", ",5", "1,5"})
        EXPECT_EQ(g.TextToInt(text), 0) << text;
    EXPECT_EQ(g.TextToInt("2147483647"), 2147483647);
    EXPECT_EQ(g.TextToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(g.TextToInt("2147483648"), 0);
    EXPECT_EQ(g.TextToInt("-2147483649"), 0);
    EXPECT_EQ(g.TextToInt("1e300"), 0);
    EXPECT_EQ(g.TextToInt("99999999999999999999"), 0);
}

TEST(TextToInt, ReadsTheUsersDecimalSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    TGeneral g;
    // QLocale::system follows the environment, not setDefault: "." must always read.
    EXPECT_EQ(g.TextToInt("3.5"), 4);
    QLocale::setDefault(saved);
}

TEST(TextAndBool, OnlyOneIsTrue)
{
    TGeneral g;
    EXPECT_TRUE(g.TextToBool("1"));
    for (const char* text : {"", "0", "true", " 1", "1 ", "01", "2"})
        EXPECT_FALSE(g.TextToBool(text)) << text;
    EXPECT_EQ(g.BoolToText(true), "1");
    EXPECT_EQ(g.BoolToText(false), "0");
}

TEST(ReplaceAll, DoesNotRescanInsertedText)
{
    TGeneral g;
    QString text = "aaa";
    g.ReplaceAll(text, "aa", "b");
    EXPECT_EQ(text, "ba");
    text = "aaa";
    g.ReplaceAll(text, "a", "aa");
    EXPECT_EQ(text, "aaaaaa");
    text = "a b/c";
    g.ReplaceAll(text, " ", "_");
    g.ReplaceAll(text, "/", "_");
    EXPECT_EQ(text, "a_b_c");
    text = "abc";
    g.ReplaceAll(text, "", "x");
    EXPECT_EQ(text, "abc");
}

TEST(ShiftText, ModesUndoEachOther)
{
    TGeneral g;
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QByteArray key = "k3y!~";
    EXPECT_EQ(g.ShiftText(g.ShiftText(all, key, 0), key, 1), all);
    EXPECT_EQ(g.ShiftText("", key, 2), QByteArray());
    EXPECT_EQ(g.ShiftText(QByteArray("\x01", 1), QByteArray("\x03", 1), 1), QByteArray("\xFE", 1));
}

TEST(ShiftText, Mode2StaysOutOfControlCharactersAndMode3UndoesIt)
{
    TGeneral g;
    QByteArray text;
    for (int b = 14; b < 256; ++b)
        text.append(char(b));
    QByteArray printable;
    for (int k = 32; k < 127; ++k)
        printable.append(char(k));
    for (const QByteArray& key : {printable, QByteArray("A"), QByteArray("\xF1", 1), QByteArray("zZ~ ")}) {
        const QByteArray shifted = g.ShiftText(text, key, 2);
        ASSERT_EQ(shifted.size(), text.size());
        for (char c : shifted)
            EXPECT_GE(uchar(c), 14);
        EXPECT_EQ(g.ShiftText(shifted, key, 3), text);
    }
    // 250 + 10 = 260 > 255: 260 - 242 = 18.
    EXPECT_EQ(g.ShiftText(QByteArray("\xFA", 1), QByteArray("\x0A", 1), 2), QByteArray("\x12", 1));
}

TEST(ColorBytes, SplitAColourValueAndTruncateNegatives)
{
    TGeneral g;
    const std::int32_t colour = 0x00336699;  // blue 0x33, green 0x66, red 0x99
    EXPECT_EQ(g.ColorByte0(colour), 0x99);
    EXPECT_EQ(g.ColorByte1(colour), 0x66);
    EXPECT_EQ(g.ColorByte2(colour), 0x33);
    EXPECT_EQ(g.ColorByte3(colour), 0);
    // Divisions truncate toward zero, so a negative value gives negative parts.
    EXPECT_EQ(g.ColorByte3(-1), 0);
    EXPECT_EQ(g.ColorByte2(-1), 0);
    EXPECT_EQ(g.ColorByte1(-1), 0);
    EXPECT_EQ(g.ColorByte0(-1), -1);
    EXPECT_EQ(g.ColorByte0(-300), -44);
    EXPECT_EQ(g.ColorByte1(-300), -1);
    EXPECT_EQ(g.ColorByte3(INT32_MIN), -128);
    EXPECT_EQ(g.ColorByte0(INT32_MIN), 0);
}

TEST(ErrorBox, GoesThroughTheInstalledBox)
{
    QString message, title;
    {
        const ScopedHook box(SetErrorBox, [&](const QString& m, const QString& t) { message = m; title = t; });
        GetGeneral().ShowError("File not found");
    }
    EXPECT_EQ(message, "File not found");
    EXPECT_EQ(title, "Error");
}

TEST(ErrorBox, FatalOutOfMemoryEndsTheProcess)
{
    EXPECT_EXIT(GetGeneral().FatalOutOfMemory(), testing::ExitedWithCode(EXIT_FAILURE), "Out of memory");
}

TEST(ListFiles, NamesOrdinaryFilesMatchingTheMask)
{
    const QString folder = NewTestFolder();
    for (const char* name : {"a.htm", "b.HTM", "c.txt"}) {
        QFile file(folder + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir(folder).mkdir("d.htm");
    TGeneral g;
    QStringList lines = g.ListFiles(folder + "/*.htm", false).split("\r\n");
    EXPECT_EQ(lines.takeLast(), "");
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"a.htm", "b.HTM"}));
    const QString withFolder = g.ListFiles(folder + "/*.txt", true);
    EXPECT_EQ(withFolder, folder + "/c.txt\r\n");
    EXPECT_EQ(g.ListFiles(folder + "/*.none", true), "");
}

}  // namespace
