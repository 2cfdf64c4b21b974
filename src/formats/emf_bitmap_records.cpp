#include "formats/emf_player.h"
#include "formats/metafile_dib.h"

#include <uemf.h>

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace emf_detail {

QImage TEmfPlayer::Dib(const TRecordView& r, std::uint64_t offBmi, std::uint64_t cbBmi, std::uint64_t offBits,
                       std::uint64_t cbBits, std::uint32_t usage) const
{
    const QByteArrayView info = r.Bytes(offBmi, cbBmi);
    const QByteArrayView bits = r.Bytes(offBits, cbBits);
    if (info.isEmpty() || bits.isEmpty())
        return {};
    return DecodeMetafileDib(info, bits, FCanvas.Palette(), usage == U_DIB_PAL_COLORS);
}

void TEmfPlayer::StretchDibits(const TRecordView& r)
{
    U_EMRSTRETCHDIBITS rec{};
    std::memcpy(&rec, r.Data(), std::min<std::size_t>(sizeof rec, std::size_t(r.Size())));
    const QImage image = Dib(r, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc, rec.cbBitsSrc, rec.iUsageSrc);
    const QRectF source = DibSourceFromTop(r.Bytes(rec.offBmiSrc, rec.cbBmiSrc),
                                           QRectF(rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y), image.height());
    FCanvas.StretchBitmap(QRectF(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y), image, source, rec.dwRop);
}

void TEmfPlayer::SetDibitsToDevice(const TRecordView& r)
{
    U_EMRSETDIBITSTODEVICE rec{};
    std::memcpy(&rec, r.Data(), std::min<std::size_t>(sizeof rec, std::size_t(r.Size())));
    const QImage image = Dib(r, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc, rec.cbBitsSrc, rec.iUsageSrc);
    const QRectF source = DibSourceFromTop(r.Bytes(rec.offBmiSrc, rec.cbBmiSrc),
                                           QRectF(rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y), image.height());
    FCanvas.StretchBitmap(QRectF(rec.Dest.x, rec.Dest.y, rec.cSrc.x, rec.cSrc.y), image, source, 0x00CC0020);
}

void TEmfPlayer::Blt(const TRecordView& r, bool stretch, bool alpha, bool keyed)
{
    U_EMRSTRETCHBLT rec{};
    std::memcpy(&rec, r.Data(), std::min<std::size_t>(sizeof rec, std::size_t(r.Size())));
    const QRectF dest(rec.Dest.x, rec.Dest.y, rec.cDest.x, rec.cDest.y);
    if (rec.cbBmiSrc == 0) {
        FCanvas.PatBlt(dest, rec.dwRop);
        return;
    }
    QImage image = Dib(r, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc, rec.cbBitsSrc, rec.iUsageSrc);
    if (alpha && !image.isNull()) {
        // Alpha blending takes the pixels' own alpha when asked (AC_SRC_ALPHA) and a constant one always.
        const int constant = int((rec.dwRop >> 16) & 0xFF);
        if ((rec.dwRop >> 24) & 0x01 && image.depth() == 32)
            image = QImage(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                           QImage::Format_ARGB32_Premultiplied).copy();
        if (constant < 255) {
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter fade(&image);
            fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            fade.fillRect(image.rect(), QColor(0, 0, 0, constant));
        }
        rec.dwRop = 0x00CC0020;
    }
    if (keyed && !image.isNull()) {
        // The place of the raster operation holds the colour that stays transparent.
        const QRgb key = FCanvas.ColorOf(rec.dwRop).rgb() & 0xFFFFFF;
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0xFFFFFF) == key)
                    row[x] = 0;
        }
        rec.dwRop = 0x00CC0020;
    }
    const QSizeF sourceSize = stretch ? QSizeF(rec.cSrc.x, rec.cSrc.y) : QSizeF(rec.cDest.x, rec.cDest.y);
    // The source of a blit is a bitmap in a device context: rows count from the top.
    FCanvas.StretchBitmap(dest, image, QRectF(QPointF(rec.Src.x, rec.Src.y), sourceSize), rec.dwRop);
}

// Gradient fills: rectangles shade along one axis; triangles are shaded by cutting them into small flat pieces.
void TEmfPlayer::GradientFill(const TRecordView& r)
{
    constexpr std::uint64_t kVertices = 36, kVertexSize = 16;
    constexpr std::uint32_t kRectH = 0, kTriangle = 2;  // and 1: rectangles shaded top to bottom
    const std::uint64_t vertices = r.U32(24), shapes = r.U32(28);
    const std::uint32_t mode = r.U32(32);
    const std::uint64_t shapeAt = kVertices + kVertexSize * vertices;
    const std::uint64_t shapeSize = mode == kTriangle ? 12 : 8;
    if (mode > kTriangle || !r.Fits(kVertices, vertices, kVertexSize) || !r.Fits(shapeAt, shapes, shapeSize))
        return;
    // Few triangles are cut into 64 pieces each; many small ones are fine with fewer.
    FTriangleDepth = shapes <= 64 ? 3 : shapes <= 1024 ? 1 : 0;
    const auto point = [&](std::uint64_t i) { return r.PointL(kVertices + kVertexSize * i); };
    const auto colour = [&](std::uint64_t i) {
        const std::uint64_t at = kVertices + kVertexSize * i + 8;
        return QColor(r.U16(at) >> 8, r.U16(at + 2) >> 8, r.U16(at + 4) >> 8);
    };
    for (std::uint64_t s = 0; s < shapes; ++s) {
        const std::uint64_t at = shapeAt + shapeSize * s;
        if (mode == kTriangle) {
            const std::uint64_t i[3] = {r.U32(at), r.U32(at + 4), r.U32(at + 8)};
            if (i[0] >= vertices || i[1] >= vertices || i[2] >= vertices)
                continue;
            const QPointF p[3] = {point(i[0]), point(i[1]), point(i[2])};
            const QColor c[3] = {colour(i[0]), colour(i[1]), colour(i[2])};
            GradientTriangle(p, c, 0);
            continue;
        }
        const std::uint64_t first = r.U32(at), second = r.U32(at + 4);
        if (first >= vertices || second >= vertices)
            continue;
        const QPointF a = point(first), b = point(second);
        QLinearGradient gradient(a, mode == kRectH ? QPointF(b.x(), a.y()) : QPointF(a.x(), b.y()));
        gradient.setColorAt(0, colour(first));
        gradient.setColorAt(1, colour(second));
        QPainterPath shape;
        shape.addRect(QRectF(a, b).normalized());
        FCanvas.FillShape(shape, QBrush(gradient));
    }
}

void TEmfPlayer::GradientTriangle(const QPointF (&p)[3], const QColor (&c)[3], int depth)
{
    if (depth >= FTriangleDepth) {
        const QColor mean((c[0].red() + c[1].red() + c[2].red()) / 3, (c[0].green() + c[1].green() + c[2].green()) / 3,
                          (c[0].blue() + c[1].blue() + c[2].blue()) / 3);
        QPainterPath piece;
        piece.addPolygon(QPolygonF({p[0], p[1], p[2]}));
        piece.closeSubpath();
        FCanvas.FillShape(piece, mean);
        return;
    }
    const auto mid = [](const QColor& a, const QColor& b) {
        return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
    };
    const QPointF m01 = (p[0] + p[1]) / 2, m12 = (p[1] + p[2]) / 2, m20 = (p[2] + p[0]) / 2;
    const QColor c01 = mid(c[0], c[1]), c12 = mid(c[1], c[2]), c20 = mid(c[2], c[0]);
    GradientTriangle({p[0], m01, m20}, {c[0], c01, c20}, depth + 1);
    GradientTriangle({m01, p[1], m12}, {c01, c[1], c12}, depth + 1);
    GradientTriangle({m20, m12, p[2]}, {c20, c12, c[2]}, depth + 1);
    GradientTriangle({m01, m12, m20}, {c01, c12, c20}, depth + 1);
}

}  // namespace emf_detail
