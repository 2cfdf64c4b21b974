// Small files built to stall a reader or to make it allocate far more than they hold. Each is made here, and
// each bound is checked through what the reader counts (scans, decodes, bytes read), never through a clock.
#include "codec_test_util.h"
#include "loaders_test_util.h"

#include "formats/general_error.h"
#include "formats/icon_directory.h"
#include "formats/jpeg_decoder.h"
#include "formats/loaders.h"
#include "formats/portable_pixelmap.h"

#include <QBuffer>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// A memory stream that counts the bytes its reader takes.
class TCountingBuffer : public QBuffer {
public:
    using QBuffer::QBuffer;
    qint64 BytesRead = 0;

protected:
    qint64 readData(char* data, qint64 size) override
    {
        const qint64 n = QBuffer::readData(data, size);
        BytesRead += std::max<qint64>(n, 0);
        return n;
    }
};

QString WriteTestFile(const QString& name, const QByteArray& bytes)
{
    const QString path = NewTestFolder() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

TImageInfoRec Open(const QString& path, QImage& target)
{
    TImageInfoRec info{path, 0, 0x00FFFFFF, {}, &target};
    GetOpenImage().OpenFile(info);
    return info;
}

void Put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void Put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// An icon whose entries all state size x size and point at the same data.
QByteArray IconOf(int entries, int size, const QByteArray& data)
{
    QByteArray icon;
    Put16(icon, 0);
    Put16(icon, 1);
    Put16(icon, quint16(entries));
    const quint32 offset = quint32(6 + 16 * entries);
    for (int i = 0; i < entries; ++i) {
        icon.append(char(size & 0xFF)).append(char(size & 0xFF)).append('\0').append('\0');
        Put16(icon, 1);
        Put16(icon, 32);
        Put32(icon, quint32(data.size()));
        Put32(icon, offset);
    }
    return icon + data;
}

QByteArray PngOf(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return png;
}

}  // namespace

TEST(HostileJpeg, ScansPastTheLimitEndTheDecode)
{
    // The fixture's last scan, repeated: each repeat is another pass over every coefficient.
    const QByteArray original = ReadFixture(TestDataPath("progressive.jpg"));
    const qsizetype lastScan = original.lastIndexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(lastScan, 0);
    const QByteArray scan = original.mid(lastScan, original.size() - 2 - lastScan);
    QByteArray hostile = original.left(lastScan);
    for (int i = 0; i < 2 * TJpegDecoder::kMaxScans; ++i)
        hostile += scan;
    hostile += QByteArray("\xFF\xD9", 2);

    TJpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenMemory(reinterpret_cast<const std::uint8_t*>(hostile.constData()), hostile.size()));
    QImage picture = NewBitmap24(decoder.Width(), decoder.Height());
    EXPECT_FALSE(decoder.DecodeInto(picture));
    EXPECT_LE(decoder.Scans(), TJpegDecoder::kMaxScans + 1);

    QImage target;
    EXPECT_EQ(Open(WriteTestFile("scans.jpg", hostile), target).ErrorText, "Unknown format");
}

TEST(HostileIcon, EntriesSharingOnePictureDecodeItOnce)
{
    QByteArray png = PngOf(QImage(32, 32, QImage::Format_ARGB32));
    png.chop(40);  // damaged at its end: it fails only once decoded
    QBuffer icon;
    icon.setData(IconOf(2000, 32, png));
    icon.open(QIODevice::ReadOnly);
    EXPECT_EQ(IconDecodeOrder(icon).size(), 1u);

    QImage target;
    Open(WriteTestFile("shared.ico", icon.data()), target);  // ends, with or without a picture
}

TEST(HostileIcon, PngLargerThanItsDirectoryEntryIsNotDecoded)
{
    // Only the PNG's header is real: a 15000 x 15000 picture behind a 256 x 256 entry.
    QByteArray png = PngOf(QImage(1, 1, QImage::Format_ARGB32));
    qToBigEndian<quint32>(15000, png.data() + 16);
    qToBigEndian<quint32>(15000, png.data() + 20);
    QBuffer icon;
    icon.setData(IconOf(1, 0, png));
    icon.open(QIODevice::ReadOnly);
    EXPECT_TRUE(IconDecodeOrder(icon).empty());
    QImage target;
    EXPECT_EQ(Open(WriteTestFile("liar.ico", icon.data()), target).ErrorText, "Unknown format");

    // A real large icon behind the same entry is taken.
    QBuffer large;
    large.setData(IconOf(1, 0, PngOf(QImage(512, 512, QImage::Format_ARGB32))));
    large.open(QIODevice::ReadOnly);
    EXPECT_EQ(IconDecodeOrder(large).size(), 1u);
}

TEST(HostileAnymap, OneLongRunOfDigitsIsReadInLinearTime)
{
    QByteArray bytes("P2\n1000 1000\n255\n");
    bytes += QByteArray(1 << 20, '7');
    bytes += '\n';
    TCountingBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    TPortablePixelmap picture;
    picture.LoadFromStream(stream);
    EXPECT_LE(stream.BytesRead, 4 * bytes.size());
    EXPECT_EQ(picture.GetWidth(), 1000);
}

TEST(HostileAnymap, RawHeaderPromisingFarMoreThanTheFileHoldsIsRefused)
{
    TPortablePixelmap picture;
    for (const char* header : {"P6\n18000 18000\n255\n", "P5\n18000 18000\n255\n", "P3\n18000 18000\n255\n"}) {
        SCOPED_TRACE(header);
        QByteArray bytes = QByteArray(header) + "1 2 3 4 5 6 7 8 9 10 11 12";
        EXPECT_THROW(LoadFromBytes(picture, bytes), EGeneralError);
        EXPECT_EQ(picture.GetLastError(), "Unknown format.");
    }
    // Half the raster present still reads, the rest white.
    QByteArray half("P5\n5000 5000\n255\n");
    half += QByteArray(5000 * 2500, '\x10');
    LoadFromBytes(picture, half);
    EXPECT_EQ(Px(picture.GetBitmap(), 0, 0), 0x101010u);
    EXPECT_EQ(Px(picture.GetBitmap(), 0, 4999), kWhitePx);
}
