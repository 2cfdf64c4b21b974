#include "common/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "testlib/test_env.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(IniRead, NamesInAnyCaseFirstOfRepeatsWinsValuesTrimmedAndCut)
{
    const TIniFile file("; comment=1\r\n"
                        "[Other]\r\n"
                        "Copies=7\r\n"
                        "[ settings ]\r\n"
                        "  COPIES  =  12 \r\n"
                        "copies=13\r\n"
                        "Quoted=\"a b\"\r\n"
                        "; Width=5\r\n"
                        "NoEquals\r\n"
                        "Long=" + QByteArray(2000, 'x') + "\r\n"
                        "[Settings]\r\n"
                        "Width=9\r\n");
    EXPECT_EQ(file.ReadString("Settings", "Copies"), "12");
    EXPECT_EQ(file.ReadString("Other", "copies"), "7");
    EXPECT_EQ(file.ReadString("Settings", "Quoted"), "a b");
    EXPECT_EQ(file.ReadString("Settings", "Long"), QString(1023, 'x'));
    // A commented key is no key; keys of a repeated section are not reached.
    EXPECT_EQ(file.ReadString("Settings", "Width"), std::nullopt);
    EXPECT_EQ(file.ReadString("Missing", "Copies"), std::nullopt);
    EXPECT_EQ(TIniFile().ReadString("Settings", "Copies"), std::nullopt);
}

TEST(IniWrite, ChangesOnlyItsLinesAndKeepsTheFilesLineEnds)
{
    TIniFile file("; made by hand\r\n"
                  "[Settings]\r\n"
                  "copies = 3\r\n"
                  "Unknown=keep me\r\n"
                  "Width=430\r\n"
                  "\r\n"
                  "[Other]\r\n"
                  "Copies=3");
    ASSERT_TRUE(file.WriteString("Settings", "Copies", "5"));
    ASSERT_TRUE(file.WriteString("Settings", "Width", "430"));  // unchanged: the line stays as written
    ASSERT_TRUE(file.WriteString("Settings", "Height", "300"));
    ASSERT_TRUE(file.WriteString("Last", "Key", "1"));
    EXPECT_EQ(file.Text(), "; made by hand\r\n"
                           "[Settings]\r\n"
                           "copies=5\r\n"
                           "Unknown=keep me\r\n"
                           "Width=430\r\n"
                           "Height=300\r\n"
                           "\r\n"
                           "[Other]\r\n"
                           "Copies=3\r\n"
                           "\r\n"
                           "[Last]\r\n"
                           "Key=1\r\n");

    TIniFile empty;
    ASSERT_TRUE(empty.WriteString("Settings", "AutoClose", "0"));
    ASSERT_TRUE(empty.WriteString("Settings", "Copies", "1"));
    EXPECT_EQ(empty.Text(), "[Settings]\nAutoClose=0\nCopies=1\n");
}

TEST(IniWrite, RefusesWhatALineCannotHold)
{
    TIniFile file;
    for (const auto& [key, value] : {std::pair{"A", "1\n[Evil]"}, std::pair{"A=B", "1"}, std::pair{"", "1"},
                                     std::pair{" A", "1"}, std::pair{"[A]", "1"}}) {
        EXPECT_FALSE(file.WriteString("Settings", key, value)) << key;
        EXPECT_TRUE(file.ErrorText.startsWith("Unable to write to ")) << key;
    }
    EXPECT_FALSE(file.WriteString("Set]tings", "A", "1"));
    EXPECT_EQ(file.Text(), "");
}

TEST(IniFileOnDisk, KeepsPermissionsAndNeverWritesThroughALinkOrAReadOnlyFile)
{
    const QString folder = NewTestFolder();
    const QString path = folder + "/Pictavo.INI";
    TIniFile file;
    ASSERT_TRUE(file.Load(path));  // absent: empty, created by the save
    ASSERT_TRUE(file.WriteString("Settings", "Copies", "2"));
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(ReadAll(path), "[Settings]\nCopies=2\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // The file's permissions survive a save.
    TIniFile again;
    ASSERT_TRUE(again.Load(path));
    ASSERT_TRUE(again.WriteString("Settings", "Copies", "3"));
    ASSERT_TRUE(again.Save(path));
    EXPECT_FALSE(QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther));

    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    EXPECT_FALSE(again.Save(path));
    EXPECT_EQ(again.ErrorText, "Unable to write to " + path);

    const QString target = folder + "/elsewhere";
    WriteAll(target, "untouched");
    const QString link = folder + "/link.INI";
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_FALSE(again.Save(link));
    EXPECT_EQ(ReadAll(target), "untouched");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

TEST(IniFileOnDisk, RefusesToReadWhatIsNoSettingsFile)
{
    const QString folder = NewTestFolder();
    TIniFile file;
    EXPECT_FALSE(file.Load(folder));  // a folder
    const QString big = folder + "/big.ini";
    WriteAll(big, "[Settings]\n" + QByteArray(TIniFile::kMaxFileBytes, ';'));
    EXPECT_FALSE(file.Load(big));
    EXPECT_EQ(file.ReadString("Settings", "Copies"), std::nullopt);
}

}  // namespace
