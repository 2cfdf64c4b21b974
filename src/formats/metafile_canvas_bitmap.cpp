#include "formats/metafile_canvas.h"
#include "formats/metafile_geometry.h"

namespace {

using metafile_detail::Finite;

QPainter::CompositionMode RopMode(std::uint32_t rop)
{
    switch (rop) {
    case 0x00EE0086: return QPainter::RasterOp_SourceOrDestination;       // SRCPAINT
    case 0x008800C6: return QPainter::RasterOp_SourceAndDestination;      // SRCAND
    case 0x00660046: return QPainter::RasterOp_SourceXorDestination;      // SRCINVERT
    case 0x00330008: return QPainter::RasterOp_NotSource;                 // NOTSRCCOPY
    case 0x00440328: return QPainter::RasterOp_SourceAndNotDestination;   // SRCERASE
    case 0x001100A6: return QPainter::RasterOp_NotSourceAndNotDestination;  // NOTSRCERASE
    case 0x00BB0226: return QPainter::RasterOp_NotSourceOrDestination;    // MERGEPAINT
    default: return QPainter::CompositionMode_SourceOver;                 // SRCCOPY and the rest
    }
}

}  // namespace

void TMetafileCanvas::StretchBitmap(const QRectF& dest, const QImage& image, const QRectF& source, std::uint32_t rop)
{
    if (FInPath || image.isNull() || source.width() == 0 || source.height() == 0)
        return;
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform sourceToLogical(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy);
    const QTransform transform = sourceToLogical * FFull;
    if (!Finite(transform))
        return;
    Charge(transform.mapRect(source));
    BeginPaint(transform);
    FPainter.setCompositionMode(RopMode(rop));
    FPainter.setRenderHint(QPainter::SmoothPixmapTransform, FState.SmoothStretch);
    FPainter.drawImage(source.topLeft(), image, source);
    FPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    FDrew = true;
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TMetafileCanvas::PatBlt(const QRectF& dest, std::uint32_t rop)
{
    if (FInPath)
        return;
    const QPainterPath area = TargetRect(dest);
    Charge(area.controlPointRect());
    BeginPaint(QTransform());
    FDrew = true;
    switch (rop) {
    case 0x00F00021:  // PATCOPY
        if (!FState.Brush.Null)
            FPainter.fillPath(area, FState.Brush.Brush);
        break;
    case 0x005A0049:  // PATINVERT
        if (!FState.Brush.Null) {
            FPainter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            FPainter.fillPath(area, FState.Brush.Brush);
        }
        break;
    case 0x00000042: FPainter.fillPath(area, Qt::black); break;  // BLACKNESS
    case 0x00FF0062: FPainter.fillPath(area, Qt::white); break;  // WHITENESS
    case 0x00550009:                                             // DSTINVERT
        FPainter.setCompositionMode(QPainter::RasterOp_NotDestination);
        FPainter.fillPath(area, Qt::black);
        break;
    default: break;
    }
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}
