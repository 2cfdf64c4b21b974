#pragma once

#include <QImage>

// The program's raster picture. Pictures are kept at 24 bits per pixel as blue, green, red byte triples
// (QImage::Format_BGR888), the triple order the codecs and the pixel routines rely on.
using TBitmap = QImage;

inline constexpr QImage::Format kFormat24 = QImage::Format_BGR888;

// A new 24-bit picture of w x h, or a null image when the size is refused by the allocation ceiling or the
// allocation itself fails. The pixels are not initialised.
QImage NewBitmap24(int w, int h);

// Converts in place to 24 bits per pixel (a null image stays null). Returns false when the conversion could not
// allocate.
bool SetPixelFormat24(QImage& image);

// The picture at 24 bits per pixel: the picture itself (shared, not copied) when it already is, else a converted
// copy; null when the copy could not be allocated.
QImage As24Bit(const QImage& source);
// The same, with translucent pixels drawn over background; null when the result could not be allocated.
QImage Composed24(const QImage& source, const QColor& background);

// Resizes to w x h at 24 bits per pixel, keeping the overlapping top-left part of the old pixels, as a framework
// bitmap does when its size changes. New area is filled with fill (0x00BBGGRR) when fill >= 0, else black.
bool ResizeBitmap24(QImage& image, int w, int h, qint64 fill = -1);

// A colour value 0x00BBGGRR as Qt's colour.
QColor ColorFromValue(qint64 value);
// Qt's colour as a colour value 0x00BBGGRR.
qint32 ValueFromColor(const QColor& color);
