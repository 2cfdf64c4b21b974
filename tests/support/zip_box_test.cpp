#include "support/carrier.h"
#include "support/zip_box.h"
#include "support_test_util.h"
#include "testlib/test_env.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

bool Load(TZipBox& box, const QByteArray& data, bool append = false)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return box.LoadFromStream(buffer, append);
}

QByteArray Content(TZipBox& box, const TBoxItem* item)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    return box.GetData(item, buffer) ? out : QByteArray("<failed>");
}

}  // namespace

TEST(ZipBoxReading, FindsTheArchiveAtTheStartOrInsideABitmapAndStopsAtTheFiller)
{
    const QByteArray archive = ItemBytes("a.bmp", "picture") + ItemBytes("b.txt", "text", 0);
    TZipBox box;
    EXPECT_TRUE(Load(box, archive + QByteArray(50, char(0xFF))));
    EXPECT_EQ(box.Count(), 2);

    // The carrier goes through a picture and back to a file, as the program's hidden images do.
    QImage carrier;
    ASSERT_TRUE(carrier.loadFromData(CarrierBitmap(archive), "BMP"));
    QByteArray rewritten;
    QBuffer buffer(&rewritten);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(carrier.save(&buffer, "BMP"));
    std::vector<int> stages;
    box.OnProgress = [&stages](TZipBox* sender) { stages.push_back(sender->Stage); };
    EXPECT_TRUE(Load(box, rewritten));
    ASSERT_EQ(box.Count(), 2);
    EXPECT_EQ(stages, std::vector<int>({TZipBox::kStageReading, TZipBox::kStageReading}));
    EXPECT_EQ(box.CurrentIndex, 1);
    EXPECT_EQ(Content(box, box.Items(0)), "picture");
    EXPECT_EQ(Content(box, box.Items(1)), "text");

    EXPECT_TRUE(Load(box, archive, true));
    EXPECT_EQ(box.Count(), 2);  // the same names replace the items read before
}

TEST(ZipBoxReading, RefusesWhatIsNoArchive)
{
    TZipBox box;
    EXPECT_FALSE(Load(box, QByteArray(400, char(0xFF))));
    EXPECT_EQ(box.LastError, "Unknown format");
    // A component stream of another class with properties an item does not have.
    TComponentStream other;
    other.ClassName = "TLanguage";
    other.AddText("pC", "English");
    EXPECT_FALSE(Load(box, WriteComponentStream(other)));
    // A cut carrier: the items before the cut stay readable, the cut one is dropped.
    const QByteArray archive = ItemBytes("one", "1") + ItemBytes("two", QByteArray(3000, 'x'));
    EXPECT_TRUE(Load(box, CarrierBitmap(archive).left(154 + archive.size() - 20)));
    EXPECT_EQ(box.Count(), 1);
}

TEST(ZipBoxReading, ACancelledReadKeepsWhatItRead)
{
    TZipBox box;
    box.OnProgress = [](TZipBox* sender) { sender->Cancelled = sender->Count() == 2; };
    EXPECT_FALSE(Load(box, ItemBytes("1", "a") + ItemBytes("2", "b") + ItemBytes("3", "c")));
    EXPECT_EQ(box.LastError, "Task cancelled");
    EXPECT_EQ(box.Count(), 2);
    EXPECT_EQ(box.Percent, 66);
}

TEST(ZipBoxList, ClampsFindsReplacesAndFills)
{
    TZipBox box;
    EXPECT_EQ(box.Items(0), nullptr);
    EXPECT_FALSE(box.Add(nullptr));
    EXPECT_EQ(box.LastError, "Unexpected error");
    ASSERT_TRUE(box.Add(MakeItem("Index.HTML", "1", 0, "Help\\")));
    ASSERT_TRUE(box.Add(MakeItem("style.css", "2", 0, "Help\\")));
    EXPECT_EQ(box.Items(-5)->pName, "Index.HTML");
    EXPECT_EQ(box.Items(99)->pName, "style.css");
    EXPECT_EQ(box.Find("INDEX.html", "help\\"), 0);
    EXPECT_EQ(box.Find("index.html", "*"), 0);
    EXPECT_EQ(box.Find("index.html", ""), -1);

    ASSERT_TRUE(box.Add(MakeItem("index.html", "new", 0, "HELP\\")));
    EXPECT_EQ(box.Count(), 2);
    EXPECT_EQ(box.Items(1)->pD, "new");
    box.AllowDuplicates = true;
    ASSERT_TRUE(box.Add(MakeItem("index.html", "third", 0, "HELP\\")));
    EXPECT_EQ(box.Count(), 3);

    std::unique_ptr<TBoxItem> taken = box.Remove(box.Items(0));
    EXPECT_EQ(box.IndexOf(taken.get()), -1);
    box.Clear();

    for (int i = 0; i < TZipBox::kCapacity; ++i)
        ASSERT_TRUE(box.Add(std::make_unique<TBoxItem>()));
    EXPECT_FALSE(box.Add(std::make_unique<TBoxItem>()));
    EXPECT_EQ(box.LastError, "Capacity reached");
}

TEST(ZipBoxContent, InflatesWhateverTheSizesSay)
{
    TZipBox box;
    std::unique_ptr<TBoxItem> item = MakeItem("short", "ab");
    ASSERT_GT(item->pD.size(), 2);  // the stored bytes are larger than the content
    item->pSize = 1000;
    item->pSizeB = 1;
    EXPECT_EQ(Content(box, item.get()), "ab");

    item->pM = 2;
    EXPECT_EQ(Content(box, item.get()), "<failed>");
    EXPECT_EQ(box.LastError, "Unsupported encoding");

    std::unique_ptr<TBoxItem> corrupt = MakeItem("corrupt", QByteArray(5000, 'q'));
    corrupt->pD[corrupt->pD.size() / 2] = char(corrupt->pD[corrupt->pD.size() / 2] ^ 0x55);
    EXPECT_EQ(Content(box, corrupt.get()), "<failed>");
    EXPECT_EQ(box.LastError, "Out of memory");
    corrupt->pD.chop(corrupt->pD.size() / 2 + 4);  // a cut stream is no content either
    EXPECT_EQ(Content(box, corrupt.get()), "<failed>");

    EXPECT_EQ(Content(box, nullptr), "<failed>");
    EXPECT_EQ(box.LastError, "Unexpected error");
}

TEST(ZipBoxContent, ADeflateBombStopsAtTheCeiling)
{
    TZipBox box;
    std::unique_ptr<TBoxItem> bomb = MakeItem("bomb", QByteArray(TZipHandler::kMaxInflated + 1, '\0'));
    EXPECT_LT(bomb->pD.size(), 100000);
    EXPECT_EQ(Content(box, bomb.get()), "<failed>");
    EXPECT_EQ(box.LastError, "Out of memory");
}

TEST(ZipBoxExtract, WritesReplacesOrKeepsTheFile)
{
    TZipBox box;
    const QString folder = NewTestFolder();
    const QString path = folder + "/page.html";
    std::unique_ptr<TBoxItem> item = MakeItem("page.html", "content");
    ASSERT_TRUE(box.ExtractToFile(item.get(), path, false));
    EXPECT_EQ(ReadFile(path), "content");

    WriteFile(path, "the user's");
    QFile::setPermissions(path, QFile::ReadOwner);
    EXPECT_TRUE(box.ExtractToFile(item.get(), path, false));
    EXPECT_EQ(ReadFile(path), "the user's");
    EXPECT_TRUE(box.ExtractToFile(item.get(), path, true));
    EXPECT_EQ(ReadFile(path), "content");

    item->pM = 7;
    EXPECT_FALSE(box.ExtractToFile(item.get(), folder + "/other.html", true));
    EXPECT_EQ(box.LastError, "Unsupported encoding");
    EXPECT_FALSE(QFile::exists(folder + "/other.html"));
}
