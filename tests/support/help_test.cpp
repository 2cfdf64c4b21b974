#include "common/desktop_opener.h"
#include "common/paths.h"
#include "support/carrier.h"
#include "support/help.h"
#include "support_test_util.h"
#include "testlib/scoped_hook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

QImage Carrier(const QByteArray& archive)
{
    QImage carrier;
    carrier.loadFromData(CarrierBitmap(archive), "BMP");
    return carrier;
}

// Two pages and the marker, written last as the build writes it.
QByteArray Pages()
{
    return ItemBytes("index.html", "<h1>Help</h1>") + ItemBytes("style.css", "body{}") +
           ItemBytes(THelp::MarkerName().toUtf8(), "done");
}

class Help : public testing::Test {
protected:
    void SetUp() override
    {
        FOpener.emplace(SetDesktopOpener, [this](const QString& target, const QString&, const QString& folder) {
            Opened << target;
            Folders << folder;
        });
    }
    void TearDown() override { FOpener.reset(); }

    QStringList Opened;
    QStringList Folders;

private:
    std::optional<ScopedHook<DesktopOpener>> FOpener;
};

}  // namespace

TEST_F(Help, WritesThePagesOnceOpensThePageAndRemovesEverythingAtTheEnd)
{
    QImage carrier = Carrier(Pages());
    QString folder;
    {
        THelp help("Pictavo", &carrier);
        EXPECT_EQ(carrier.size(), QSize(1, 1));
        EXPECT_EQ(help.Box.Count(), 3);
        folder = help.HelpFolder();
        EXPECT_EQ(folder, GetPaths().DataFolder("Help") + "Pictavo/");
        ASSERT_TRUE(help.ShowPage("index.html"));
        EXPECT_EQ(Opened, QStringList{folder + "index.html"});
        EXPECT_EQ(Folders, QStringList{folder.chopped(1)});
        EXPECT_TRUE(QFile::exists(folder + "style.css"));

        // With the marker there, a page the user deleted stays deleted; without it, it comes back.
        QFile::remove(folder + "style.css");
        ASSERT_TRUE(help.ShowPage("index.html"));
        EXPECT_FALSE(QFile::exists(folder + "style.css"));
        QFile::remove(folder + THelp::MarkerName());
        ASSERT_TRUE(help.ShowPage("index.html"));
        EXPECT_TRUE(QFile::exists(folder + "style.css"));

        EXPECT_FALSE(help.ShowPage("missing.html"));
        EXPECT_EQ(help.LastError, "File not found");
        EXPECT_FALSE(help.ShowPage("../index.html"));
    }
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(QFileInfo::exists(GetPaths().MakerDataFolder() + "Help"));  // nothing else was in it
}

TEST_F(Help, NamesItsFolderSafely)
{
    THelp help("My Pictures/Help\\?*", nullptr);
    EXPECT_EQ(help.FolderName, "My_Pictures_Help___");
    EXPECT_TRUE(THelp("", nullptr).FolderName.size() > 0);
}

TEST_F(Help, NeverWritesOutsideItsFolder)
{
    QImage carrier = Carrier(ItemBytes("../escaped.html", "x") + ItemBytes("sub/dir.html", "x") +
                             ItemBytes("..\\back.html", "x") + ItemBytes("..", "x") + ItemBytes("index.html", "i"));
    THelp help("Pictavo", &carrier);
    ASSERT_EQ(help.Box.Count(), 5);
    ASSERT_TRUE(help.ShowPage("index.html"));
    const QString folder = help.HelpFolder();
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"index.html"});
    EXPECT_FALSE(QFileInfo::exists(folder + "../escaped.html"));
    EXPECT_FALSE(QFileInfo::exists(folder + "sub"));
}

TEST_F(Help, ADamagedCarrierLeavesNothingToShow)
{
    const QByteArray whole = CarrierBitmap(Pages());
    QImage carrier;
    ASSERT_TRUE(carrier.loadFromData(whole, "BMP"));
    // Rows full of white instead of the archive: still a fine picture, but no help in it.
    carrier.fill(Qt::white);
    THelp help("Pictavo", &carrier);
    EXPECT_EQ(help.Box.Count(), 0);
    EXPECT_EQ(help.LastError, "Unknown format");
    EXPECT_FALSE(help.ShowPage("index.html"));
    EXPECT_EQ(help.LastError, "File not found");
    EXPECT_TRUE(Opened.isEmpty());
}

// A process that ends early, without the window's shutdown, still takes the pages away.
TEST_F(Help, PagesGoAlsoWhenTheProcessExitsEarly)
{
    const QString folder = GetPaths().DataFolder("Help") + "Early/";
    EXPECT_EXIT(
        {
            QImage carrier = Carrier(Pages());
            auto* help = new THelp("Early", &carrier);  // never destroyed: the process ends with it alive
            if (help->ShowPage("index.html") && QFile::exists(folder + "index.html"))
                std::exit(7);
            std::exit(1);
        },
        testing::ExitedWithCode(7), "");
    EXPECT_FALSE(QFileInfo::exists(folder));
}
