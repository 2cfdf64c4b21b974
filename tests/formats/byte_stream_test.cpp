#include "formats/byte_image.h"
#include "formats/byte_stream.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// A read-only memory stream over text, attached to a byte stream for the life of the test.
class Reader {
public:
    explicit Reader(const QByteArray& text) : Bytes(text)
    {
        Buffer.setBuffer(&Bytes);
        Buffer.open(QIODevice::ReadOnly);
        Stream.Attach(&Buffer);
    }
    QByteArray Bytes;
    QBuffer Buffer;
    TByteStream Stream;
};

struct TLineResult {
    bool Found;
    qint64 Start, End, Mark, Pos;
};

TLineResult NextLine(TByteStream& stream, qint64& pos, std::uint8_t mark = 0)
{
    qint64 markPos = 0, end = 0, start = 0;
    const bool found = stream.ReadLine(pos, -1, markPos, mark, end, start);
    return {found, start, end, markPos, pos};
}

TEST(ByteStreamReadLine, AnyRunOfBreaksIsOneBreak)
{
    Reader r("P6\r\n\r\n640 480\n");
    qint64 pos = 0;
    auto line = NextLine(r.Stream, pos);
    EXPECT_TRUE(line.Found);
    EXPECT_EQ(line.Start, 0);
    EXPECT_EQ(line.End, 1);
    EXPECT_EQ(pos, 6);
    line = NextLine(r.Stream, pos);
    EXPECT_TRUE(line.Found);
    EXPECT_EQ(line.Start, 6);
    EXPECT_EQ(line.End, 12);
    EXPECT_EQ(pos, 14);
    EXPECT_FALSE(NextLine(r.Stream, pos).Found);
}

TEST(ByteStreamReadLine, TextEndingInCrLfGivesOneEmptyLineMore)
{
    Reader r("ab\r\n");
    qint64 pos = 0;
    auto line = NextLine(r.Stream, pos);
    EXPECT_EQ(line.End, 1);
    EXPECT_EQ(pos, 3);  // on the final LF
    line = NextLine(r.Stream, pos);
    EXPECT_TRUE(line.Found);
    EXPECT_EQ(line.End, line.Start - 1);
    EXPECT_EQ(pos, 4);
    EXPECT_FALSE(NextLine(r.Stream, pos).Found);
}

TEST(ByteStreamReadLine, TextEndingInLfOrNothing)
{
    Reader lf("ab\n");
    qint64 pos = 0;
    EXPECT_EQ(NextLine(lf.Stream, pos).End, 1);
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(NextLine(lf.Stream, pos).Found);

    Reader bare("abc");
    pos = 0;
    EXPECT_EQ(NextLine(bare.Stream, pos).End, 2);
    EXPECT_FALSE(NextLine(bare.Stream, pos).Found);
}

TEST(ByteStreamReadLine, MarksTheFirstCommentCharacter)
{
    Reader r("ab#cd#\nx#");
    qint64 pos = 0;
    EXPECT_EQ(NextLine(r.Stream, pos, '#').Mark, 2);
    EXPECT_EQ(NextLine(r.Stream, pos, '#').Mark, 8);
    pos = 0;
    EXPECT_EQ(NextLine(r.Stream, pos, 0).Mark, -1);
}

TEST(ByteStreamReadLine, LinesLongerThanTheWindow)
{
    const QByteArray longLine(5000, 'a');
    Reader r(longLine + "\nend");
    qint64 pos = 0;
    EXPECT_EQ(NextLine(r.Stream, pos).End, 4999);
    const auto line = NextLine(r.Stream, pos);
    EXPECT_EQ(r.Stream.ReadString(line.Start, line.End), "end");
}

TEST(ByteStreamParse, NumbersKeepTheirLastFiveDigitsAndPopLeftToRight)
{
    Reader r("12 345 1234567");
    TNumberList list;
    ASSERT_TRUE(r.Stream.ParseNumbers(0, 13, list, -1));
    EXPECT_EQ(list.Count, 3);
    qint32 v = 0;
    ASSERT_TRUE(TByteStream::PopNumber(list, v));
    EXPECT_EQ(v, 12);
    ASSERT_TRUE(TByteStream::PopNumber(list, v));
    EXPECT_EQ(v, 345);
    ASSERT_TRUE(TByteStream::PopNumber(list, v));
    EXPECT_EQ(v, 34567);
    EXPECT_FALSE(TByteStream::PopNumber(list, v));
}

TEST(ByteStreamParse, NumbersAreCappedAndMinusIsASeparator)
{
    Reader r("300 -5 99999");
    TNumberList list;
    ASSERT_TRUE(r.Stream.ParseNumbers(0, 11, list, 255));
    EXPECT_EQ(list.Values[2], 255);
    EXPECT_EQ(list.Values[1], 5);
    EXPECT_EQ(list.Values[0], 255);

    TNumberList uncapped;
    r.Stream.ParseNumbers(7, 11, uncapped, -1);
    EXPECT_EQ(uncapped.Values[0], 65535);  // 16-bit values hold no more
}

TEST(ByteStreamParse, LineWithoutDigitsLeavesTheListAlone)
{
    Reader r("no digits here");
    TNumberList list;
    list.Count = 1;
    EXPECT_FALSE(r.Stream.ParseNumbers(0, 13, list, -1));
    EXPECT_EQ(list.Count, 1);
}

TEST(ByteStreamParse, HexBytes)
{
    Reader r("0x1F, 0XaB, 0xg1 0xx12");
    TByteList list;
    ASSERT_TRUE(r.Stream.ParseHexBytes(0, 21, list));
    ASSERT_EQ(list.Count, 4);
    EXPECT_EQ(list.Data[0], 31);
    EXPECT_EQ(list.Data[1], 171);
    EXPECT_EQ(list.Data[2], 1);
    EXPECT_EQ(list.Data[3], 0x01);  // "xx1": the second x lies inside the pair already used ("x1" -> 0, 1)

    TByteList hex;
    TByteStream::AppendHex(171, hex);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(hex.Data.data()), hex.Count), "0xab");
}

TEST(ByteStreamSearch, FindByteAndReadStringStopAtTheEnd)
{
    Reader r(QByteArray(3000, 'a') + "{b");
    EXPECT_EQ(r.Stream.FindByte('{', 0, 3001), 3000);
    EXPECT_EQ(r.Stream.FindByte('{', 0, 2999), -1);
    EXPECT_EQ(r.Stream.ReadString(3000, 4000), "{b");
    EXPECT_EQ(r.Stream.ReadString(5, 4), "");
    std::uint8_t b = 0;
    EXPECT_FALSE(r.Stream.ReadByte(-1, b));
    EXPECT_FALSE(r.Stream.ReadByte(3002, b));
}

TEST(ByteStreamWrite, WritesInBlocksAndGrowsSize)
{
    QByteArray bytes("xyz");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadWrite);
    {
        TByteStream stream;
        stream.Attach(&buffer);
        EXPECT_EQ(stream.GetSize(), 3);
        ASSERT_TRUE(stream.WriteByte(3, 'w'));
        EXPECT_EQ(stream.GetSize(), 4);
        qint64 pos = 4;
        ASSERT_TRUE(stream.WriteString(pos, QByteArray(5000, 'q')));
        EXPECT_EQ(pos, 5004);
        EXPECT_EQ(stream.GetSize(), 5004);
        EXPECT_GE(bytes.size(), 2048);  // the first full window went out on its own
    }
    EXPECT_EQ(bytes.size(), 5004);
    EXPECT_EQ(bytes.left(5), "xyzwq");
}

TEST(ByteStreamWrite, AFailingBlockFlushIsReported)
{
    QFile full("/dev/full");
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        GTEST_SKIP() << "no /dev/full";
    TByteStream stream;
    stream.Attach(&full);
    qint64 pos = 0;
    EXPECT_FALSE(stream.WriteString(pos, QByteArray(3000, 'a')));
    EXPECT_EQ(pos, 2048);  // the first byte of the second window could not be written
}

TEST(ByteImage, WritePixelWalksInReadingOrderAndStopsAtTheEnd)
{
    QImage image(2, 1, kFormat24);
    TByteImage cursor(&image);
    EXPECT_TRUE(cursor.WritePixel({1, 2, 3}));
    EXPECT_TRUE(cursor.WritePixel({4, 5, 6}));
    EXPECT_FALSE(cursor.WritePixel({7, 8, 9}));
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x030201u);
    EXPECT_EQ(image.pixel(1, 0) & 0xFFFFFF, 0x060504u);

    QImage empty;
    TByteImage none(&empty);
    EXPECT_FALSE(none.WritePixel({}));
    TByteImage nothing(nullptr);
    EXPECT_FALSE(nothing.WritePixel({}));
}

TEST(ByteImage, PixelsOutsideThePictureAreIgnored)
{
    QImage image(2, 2, kFormat24);
    image.fill(Qt::white);
    TByteImage cursor(&image);
    cursor.SetPixel(2, 0, {});
    cursor.SetPixel(-1, 1, {});
    cursor.SetPixel(1, 1, {0, 0, 9});
    TColorTriple t;
    EXPECT_FALSE(cursor.GetPixel(0, 2, t));
    ASSERT_TRUE(cursor.GetPixel(1, 1, t));
    EXPECT_EQ(t.Red, 9);
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ByteImage, ByteToBitsMostSignificantFirst)
{
    TByteList list;
    TByteImage::ByteToBits(0xA0, list);
    ASSERT_EQ(list.Count, 8);
    const std::uint8_t expected[] = {1, 0, 1, 0, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(list.Data[size_t(i)], expected[i]) << i;
}

}  // namespace
