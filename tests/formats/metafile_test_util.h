#pragma once

#include "formats/image_info.h"
#include "formats/loaders.h"
#include "testlib/test_env.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

// Small metafiles written record by record, and what the metafile tests check in the pictures they draw.
namespace metafile_test {

// EMF record types and values the tests write.
enum : std::int32_t {
    kPolygon = 3, kSetWindowExt = 9, kSetWindowOrg = 10, kSetViewportExt = 11, kSetViewportOrg = 12, kEof = 14,
    kSetMapMode = 17, kSetPolyFillMode = 19, kMoveTo = 27, kExcludeClip = 29, kIntersectClip = 30, kSaveDc = 33,
    kRestoreDc = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36, kSelectObject = 37,
    kCreateBrush = 39, kDeleteObject = 40, kRectangle = 43, kLineTo = 54, kBeginPath = 59, kEndPath = 60,
    kCloseFigure = 61, kFillPath = 62, kExtSelectClipRgn = 75, kSetBkMode = 18, kSetTextAlign = 22,
    kSetTextColor = 24, kSetBkColor = 25, kCreateFont = 82, kExtTextOutW = 84,
};
constexpr std::int32_t kBlackBrush = std::int32_t(0x80000004u), kWhiteBrush = std::int32_t(0x80000000u);
constexpr std::int32_t kNullPen = std::int32_t(0x80000008u);
constexpr std::int32_t kRed = 0x0000FF, kBlue = 0xFF0000;

inline std::int32_t FloatBits(float f)
{
    std::int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline void Put32(QByteArray& bytes, std::int32_t v)
{
    char b[4];
    qToLittleEndian<std::int32_t>(v, b);
    bytes.append(b, 4);
}

inline void Put16(QByteArray& bytes, std::int32_t v)
{
    char b[2];
    qToLittleEndian<std::int16_t>(std::int16_t(v), b);
    bytes.append(b, 2);
}

// An enhanced metafile of sizePx x sizePx pixels at 96 per inch on a 96-per-inch reference device, so logical
// units of MM_TEXT are picture pixels. Shapes are drawn without outline unless a case selects a pen.
class TEmfWriter {
public:
    explicit TEmfWriter(std::int32_t frameHundredths = 2646, std::uint16_t handles = 16)
    {
        const std::int32_t header[] = {1, 108, 0, 0, 99, 99, 0, 0, frameHundredths, frameHundredths, 0x464D4520,
                                       0x10000, 0, 0, handles, 0, 0, 0, 960, 960, 254, 254, 0, 0, 0,
                                       254000, 254000};
        for (std::int32_t v : header)
            Put32(FBytes, v);
        Add(kSelectObject, {kNullPen});
    }

    TEmfWriter& Add(std::int32_t type, std::initializer_list<std::int32_t> words)
    {
        Put32(FBytes, type);
        Put32(FBytes, std::int32_t(8 + 4 * words.size()));
        for (std::int32_t v : words)
            Put32(FBytes, v);
        return *this;
    }

    // A record whose body is given as bytes, padded to whole words.
    TEmfWriter& AddBytes(std::int32_t type, QByteArray body)
    {
        body.append((4 - body.size() % 4) % 4, '\0');
        Put32(FBytes, type);
        Put32(FBytes, std::int32_t(8 + body.size()));
        FBytes.append(body);
        return *this;
    }

    TEmfWriter& Brush(std::int32_t index, std::int32_t color) { return Add(kCreateBrush, {index, 0, color, 0}); }
    TEmfWriter& Rect(int l, int t, int r, int b) { return Add(kRectangle, {l, t, r, b}); }

    QByteArray Bytes() const
    {
        QByteArray out = FBytes;
        Put32(out, kEof);
        Put32(out, 20);
        Put32(out, 0);
        Put32(out, 0);
        Put32(out, 20);
        qToLittleEndian<std::int32_t>(std::int32_t(out.size()), out.data() + 48);
        return out;
    }

private:
    QByteArray FBytes;
};

struct TResult {
    bool Ok = false;
    QString Error;
    QImage Image;
};

inline TResult Load(const QString& name, const QByteArray& bytes)
{
    const QString path = NewTestFolder() + "/" + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    TResult result;
    TImageInfoRec info;
    info.FileName = path;
    info.Bitmap = &result.Image;
    result.Ok = LoadMetafileFile(info);
    result.Error = info.ErrorText;
    return result;
}

inline QImage Play(const TEmfWriter& emf)
{
    const TResult result = Load("case.emf", emf.Bytes());
    EXPECT_TRUE(result.Ok) << result.Error.toStdString();
    return result.Image;
}

inline bool Ink(const QImage& image, int x, int y, QColor color = Qt::black)
{
    return image.pixelColor(x, y) == color;
}

inline bool Paper(const QImage& image, int x, int y)
{
    return Ink(image, x, y, Qt::white);
}

// How many pixels of area are darker than mid grey: how much ink landed there.
inline int DarkPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qGray(image.pixel(x, y)) < 128;
    return count;
}

// EMF+ records, carried in one comment of an enhanced metafile that draws nothing else.
class TEmfPlusWriter {
public:
    TEmfPlusWriter() { Add(0x4001, 0, {std::int32_t(0xDBC01002u), 0, 96, 96}); }

    TEmfPlusWriter& Add(int type, int flags, std::initializer_list<std::int32_t> words)
    {
        Put16(FPlus, type);
        Put16(FPlus, flags);
        Put32(FPlus, std::int32_t(12 + 4 * words.size()));
        Put32(FPlus, std::int32_t(4 * words.size()));
        for (std::int32_t w : words)
            Put32(FPlus, w);
        return *this;
    }

    void WriteInto(TEmfWriter& emf) const
    {
        QByteArray comment;
        Put32(comment, std::int32_t(4 + FPlus.size()));
        Put32(comment, 0x2B464D45);
        comment.append(FPlus);
        emf.AddBytes(70, comment);
    }

private:
    QByteArray FPlus;
};

// A Windows metafile without the placeable header: its window extent is its size.
class TWmfWriter {
public:
    explicit TWmfWriter(std::uint16_t objects = 4)
    {
        for (std::int32_t word : {1, 9, 0x300, 0, 0, std::int32_t(objects), 0, 0, 0})
            Put16(FBytes, word);
    }

    TWmfWriter& Add(std::int32_t function, std::initializer_list<std::int32_t> words)
    {
        Put32(FBytes, std::int32_t(3 + words.size()));
        Put16(FBytes, function);
        for (std::int32_t v : words)
            Put16(FBytes, v);
        return *this;
    }

    // Brush style 0 with a colour 0x00BBGGRR split into words.
    TWmfWriter& Brush(std::int32_t color) { return Add(0x02FC, {0, color & 0xFFFF, color >> 16, 0}); }

    QByteArray Bytes() const
    {
        QByteArray out = FBytes;
        Put32(out, 3);
        Put16(out, 0);
        return out;
    }

private:
    QByteArray FBytes;
};

}  // namespace metafile_test
