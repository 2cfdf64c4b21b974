#include "support/component_stream.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Written by hand from the format, not by our writer: class "TLI", no name, X = "ab" (type 6), N = -2 (type 2),
// W = 0x1234 (type 3), D = 0x01020304 (type 4), L = "xyz" (type 12).
QByteArray HandWritten()
{
    return QByteArray("TPF0") + Bytes({3, 'T', 'L', 'I', 0, 1, 'X', 6, 2, 'a', 'b', 1, 'N', 2, 0xFE, 1, 'W', 3, 0x34,
                                       0x12, 1, 'D', 4, 4, 3, 2, 1, 1, 'L', 12, 3, 0, 0, 0, 'x', 'y', 'z', 0, 0});
}

}  // namespace

TEST(ComponentStream, ReadsEveryValueTypeInOrderAndStopsAfterTheStream)
{
    const QByteArray data = HandWritten() + "rest";
    qsizetype offset = 0;
    TComponentStream stream;
    ASSERT_TRUE(ReadComponentStream(data, offset, stream));
    EXPECT_EQ(offset, data.size() - 4);
    EXPECT_EQ(stream.ClassName, "TLI");
    EXPECT_TRUE(stream.ComponentName.isEmpty());
    ASSERT_EQ(stream.Properties.size(), 5u);
    EXPECT_EQ(stream.Properties[0].Name, "X");
    EXPECT_EQ(stream.Properties[0].Value.Text, "ab");
    EXPECT_EQ(stream.Find("n")->Integer, -2);
    EXPECT_EQ(stream.Find("W")->Integer, 0x1234);
    EXPECT_EQ(stream.Find("D")->Integer, 0x01020304);
    EXPECT_TRUE(stream.Find("L")->IsText());
    EXPECT_EQ(stream.Find("L")->Text, "xyz");
    EXPECT_EQ(stream.Find("missing"), nullptr);
}

TEST(ComponentStream, WritesTheSmallestTypesLeavesEmptyTextsOutAndReadsBack)
{
    TComponentStream stream;
    stream.ClassName = "TBoxItem";
    stream.AddText("pName", "a.bmp");
    stream.AddText("pPath", "");
    stream.AddInteger("a", -128);
    stream.AddInteger("b", 128);
    stream.AddInteger("c", -32769);
    stream.AddText("long", QByteArray(300, 'z'));
    const QByteArray bytes = WriteComponentStream(stream);
    EXPECT_EQ(bytes.left(14), QByteArray("TPF0") + Bytes({8}) + "TBoxItem" + Bytes({0}));
    EXPECT_FALSE(bytes.contains("pPath"));
    EXPECT_TRUE(bytes.contains(Bytes({1, 'a', 2, 0x80})));
    EXPECT_TRUE(bytes.contains(Bytes({1, 'b', 3, 0x80, 0})));
    EXPECT_TRUE(bytes.contains(Bytes({1, 'c', 4, 0xFF, 0x7F, 0xFF, 0xFF})));
    EXPECT_TRUE(bytes.contains(Bytes({4, 'l', 'o', 'n', 'g', 12, 0x2C, 1, 0, 0})));
    EXPECT_TRUE(bytes.endsWith(Bytes({0, 0})));

    QBuffer device;
    device.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteComponentStream(device, stream));
    device.seek(0);
    TComponentStream back;
    ASSERT_TRUE(ReadComponentStream(device, back));
    EXPECT_EQ(device.pos(), bytes.size());
    ASSERT_EQ(back.Properties.size(), 5u);
    EXPECT_EQ(back.Find("pName")->Text, "a.bmp");
    EXPECT_EQ(back.Find("c")->Integer, -32769);
    EXPECT_EQ(back.Find("long")->Text, QByteArray(300, 'z'));
}

TEST(ComponentStream, RefusesDamagedStreams)
{
    const QByteArray good = HandWritten();
    // Every cut of a stream is refused, never read past.
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        qsizetype offset = 0;
        TComponentStream stream;
        EXPECT_FALSE(ReadComponentStream(good.left(cut), offset, stream)) << cut;
        EXPECT_TRUE(stream.Properties.empty());
    }
    const auto refused = [](const QByteArray& data) {
        qsizetype offset = 0;
        TComponentStream stream;
        return !ReadComponentStream(data, offset, stream);
    };
    const QByteArray head = QByteArray("TPF0") + Bytes({1, 'T', 0});
    EXPECT_TRUE(refused(QByteArray("TPF1") + Bytes({1, 'T', 0, 0, 0})));
    // A 4-byte length that claims 2 GiB (and one that is negative) in a stream of a few bytes.
    EXPECT_TRUE(refused(head + Bytes({1, 'L', 12, 0, 0, 0, 0x7F, 'x', 0, 0})));
    EXPECT_TRUE(refused(head + Bytes({1, 'L', 12, 0xFF, 0xFF, 0xFF, 0xFF, 'x', 0, 0})));
    // Value types beyond the five, and child components.
    EXPECT_TRUE(refused(head + Bytes({1, 'E', 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_TRUE(refused(head + Bytes({0, 3, 'T', 'L', 'I', 0, 0, 0})));
    EXPECT_FALSE(refused(head + Bytes({0, 0})));
}
