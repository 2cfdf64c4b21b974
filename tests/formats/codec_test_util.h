#pragma once

#include "common/bitmap.h"
#include "formats/graphic.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

// Small helpers shared by the codec suites: pictures built pixel by pixel, and loads and saves through real
// memory streams.

inline QRgb Px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

inline constexpr QRgb kWhitePx = 0xFFFFFF;
inline constexpr QRgb kBlackPx = 0x000000;

// A 24-bit picture of width x height from 0xRRGGBB values in reading order.
inline QImage MakePicture(int width, int height, const std::vector<QRgb>& pixels)
{
    QImage image(width, height, kFormat24);
    for (int i = 0; i < width * height; ++i)
        image.setPixel(i % width, i / width, pixels[size_t(i)]);
    return image;
}

inline QByteArray SaveToBytes(TGraphic& graphic)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    graphic.SaveToStream(buffer);
    return bytes;
}

inline void LoadFromBytes(TGraphic& graphic, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    graphic.LoadFromStream(buffer);
}

// Every pixel of a picture as 0xRRGGBB, reading order, for comparisons with readable failures.
inline std::vector<QRgb> Pixels(const QImage& image)
{
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(Px(image, x, y));
    return out;
}

inline QByteArray ReadFixture(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A string literal's bytes, embedded zeros included.
template <size_t N>
QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}
