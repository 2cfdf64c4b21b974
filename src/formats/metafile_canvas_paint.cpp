#include "formats/metafile_canvas.h"
#include "formats/metafile_geometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

using metafile_detail::RectPath;

// What a stroke may paint, in target pixels: the path's box grown by half the pen, or as far as a mitred corner
// reaches. A pen far wider than any picture reaches no further than one as wide.
QRectF StrokeBox(const QPainterPath& path, const QTransform& transform, const QPen& pen)
{
    constexpr double kFarthest = 1e9;
    const double scale = pen.isCosmetic() ? 1 : std::sqrt(std::abs(transform.determinant()));
    const bool mitred = pen.joinStyle() == Qt::MiterJoin || pen.joinStyle() == Qt::SvgMiterJoin;
    const double corner = mitred ? std::max(1.0, pen.miterLimit()) : 1.0;
    const double reach = std::min(std::max(1.0, pen.widthF() * scale) * corner / 2, kFarthest);
    return transform.mapRect(path.controlPointRect()).adjusted(-reach, -reach, reach, reach);
}

bool IsHatch(const QBrush& b)
{
    return b.style() >= Qt::HorPattern && b.style() <= Qt::DiagCrossPattern;
}

}  // namespace

// ---- painting ------------------------------------------------------------------------------------------------

void TMetafileCanvas::BeginPaint(const QTransform& transform)
{
    if (FClipDirty) {
        FPainter.resetTransform();
        if (FState.Clip)
            FPainter.setClipPath(*FState.Clip);
        else
            FPainter.setClipping(false);
        FClipDirty = false;
    }
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter.setTransform(transform);
}

QPen TMetafileCanvas::ScaledPen(const QTransform& transform) const
{
    if (FState.Pen.Null)
        return QPen(Qt::NoPen);
    QPen pen = FState.Pen.Pen;
    pen.setMiterLimit(FState.MiterLimit);
    // Paths in target pixels are drawn untransformed, so there the width takes the drawing's scale itself.
    const double scale = std::sqrt(std::abs((transform.isIdentity() ? FFull : transform).determinant()));
    const double pixels = pen.widthF() * scale;
    // Cosmetic pens, and pens thinner than a pixel once mapped, still draw one pixel, as on any device.
    if (FState.Pen.Cosmetic || !(pixels >= 1)) {
        pen.setWidthF(1);
        pen.setCosmetic(true);
    } else if (transform.isIdentity()) {
        pen.setWidthF(pixels);
    }
    return pen;
}

// Hatches and patterns repeat in picture pixels from the picture's origin, whatever the mapping: the
// brush undoes the painter's transform.
QBrush TMetafileCanvas::PixelBrush(QBrush brush, const QTransform& painterTransform)
{
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush && painterTransform.isInvertible())
        brush.setTransform(painterTransform.inverted());
    return brush;
}

void TMetafileCanvas::Paint(const QPainterPath& path, const QTransform& transform, bool fill, bool stroke)
{
    const bool strokes = stroke && !FState.Pen.Null;
    const QPen pen = strokes ? ScaledPen(transform) : QPen(Qt::NoPen);
    Charge(strokes ? StrokeBox(path, transform, pen) : transform.mapRect(path.controlPointRect()));
    BeginPaint(transform);
    if (fill && !FState.Brush.Null) {
        if (IsHatch(FState.Brush.Brush) && FState.BkOpaque)
            FPainter.fillPath(path, FState.BkColor);  // an opaque background shows between the hatch lines
        FPainter.fillPath(path, PixelBrush(FState.Brush.Brush, transform));
        FDrew = true;
    }
    if (strokes) {
        FPainter.strokePath(path, pen);
        FDrew = true;
    }
}

void TMetafileCanvas::DrawTarget(const QPainterPath& path, bool fill, bool stroke)
{
    Paint(path, QTransform(), fill, stroke);  // the path is in target pixels already
}

void TMetafileCanvas::Draw(const QPainterPath& logical, bool fill, bool stroke)
{
    if (FInPath) {
        AddFigures(FFull.map(logical), fill);
        return;
    }
    QPainterPath path = logical;
    path.setFillRule(FState.FillRule);
    Paint(path, FFull, fill, stroke);
}

void TMetafileCanvas::MoveTo(QPointF p)
{
    FState.Position = p;
    FFigureOpen = false;  // the next line starts a figure of its own here
}

void TMetafileCanvas::LineTo(QPointF p)
{
    QPainterPath line(FState.Position);
    line.lineTo(p);
    ContinueFigure(line);
    FState.Position = p;
}

// Figures of a shape that does not start at the current position: each begins anew. A closed (filled) shape
// leaves no figure open; an open one can be continued from its end.
void TMetafileCanvas::AddFigures(const QPainterPath& targetPath, bool closed)
{
    FPath.addPath(targetPath);
    FFigureOpen = !closed && targetPath.elementCount() > 0;
}

// Drawing that starts at the current position (logical's first element): in a path bracket it continues the
// open figure, or starts one at the current position after a move or a closed figure. A move inside logical
// starts a figure of its own; it is never joined to the one before by a line.
void TMetafileCanvas::ContinueFigure(const QPainterPath& logical)
{
    if (!FInPath) {
        Draw(logical, false, true);
        return;
    }
    const QPainterPath mapped = FFull.map(logical);
    for (int i = 0; i < mapped.elementCount(); ++i) {
        const QPainterPath::Element& e = mapped.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (i == 0 && FFigureOpen && QLineF(FPath.currentPosition(), e).length() < 1e-6)
                break;  // goes on from where the open figure ends
            FPath.moveTo(e);
            FFigureOpen = true;
            break;
        case QPainterPath::LineToElement: FPath.lineTo(e); break;
        case QPainterPath::CurveToElement:
            if (i + 2 >= mapped.elementCount())
                return;
            FPath.cubicTo(e, mapped.elementAt(i + 1), mapped.elementAt(i + 2));
            i += 2;
            break;
        default: break;
        }
    }
}

void TMetafileCanvas::Polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    Draw(path, false, true);
}

void TMetafileCanvas::PolylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    QPainterPath path(FState.Position);
    for (const QPointF& p : points)
        path.lineTo(p);
    ContinueFigure(path);
    FState.Position = points.last();
}

void TMetafileCanvas::Polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    Draw(path, true, true);
}

void TMetafileCanvas::PolyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.addPolygon(polygon);
        path.closeSubpath();
    }
    Draw(path, true, true);
}

void TMetafileCanvas::PolyPolyline(const std::vector<QPolygonF>& lines)
{
    QPainterPath path;
    for (const QPolygonF& line : lines)
        if (line.size() >= 2)
            path.addPolygon(line);
    Draw(path, false, true);
}

namespace {

QPainterPath Beziers(QPointF start, const QPolygonF& controls, qsizetype first)
{
    QPainterPath path(start);
    for (qsizetype i = first; i + 2 < controls.size(); i += 3)
        path.cubicTo(controls[i], controls[i + 1], controls[i + 2]);
    return path;
}

}  // namespace

void TMetafileCanvas::PolyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    Draw(Beziers(points.first(), points, 1), false, true);
}

void TMetafileCanvas::PolyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    ContinueFigure(Beziers(FState.Position, points, 0));
    FState.Position = points[(points.size() / 3) * 3 - 1];
}

void TMetafileCanvas::PolyDraw(const QPolygonF& points, QByteArrayView types)
{
    constexpr std::uint8_t kClose = 1, kKind = 6, kLine = 2, kBezier = 4, kMove = 6;
    if (points.isEmpty() || types.size() != points.size())
        return;
    QPainterPath path(FState.Position);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const auto type = std::uint8_t(types[i]);
        switch (type & kKind) {
        case kMove: path.moveTo(points[i]); break;
        case kLine: path.lineTo(points[i]); break;
        case kBezier:
            if (i + 2 >= points.size())
                return;  // a curve needs three points; the record is broken
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
            break;
        default: return;
        }
        if (type & kClose) {
            path.closeSubpath();
            if (i + 1 < points.size())
                path.moveTo(points[i]);  // a figure after it starts where the closed one ended
        }
    }
    ContinueFigure(path);
    if (std::uint8_t(types.back()) & kClose)
        FFigureOpen = false;
    FState.Position = points.last();
}

void TMetafileCanvas::Rectangle(const QRectF& r)
{
    Draw(RectPath(r), true, true);
}

void TMetafileCanvas::RoundRect(const QRectF& r, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    Draw(path, true, true);
}

void TMetafileCanvas::Ellipse(const QRectF& r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    Draw(path, true, true);
}

void TMetafileCanvas::Arc(TArcKind kind, const QRectF& rawBox, QPointF start, QPointF end)
{
    const QRectF box = rawBox.normalized();
    if (box.width() <= 0 || box.height() <= 0)
        return;
    // The radials cut the ellipse where Qt's parametric angle has the same direction after unscaling.
    const QPointF c = box.center();
    const auto angle = [&](QPointF p) {
        return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / box.height(), (p.x() - c.x()) / box.width()));
    };
    const double a1 = angle(start);
    double sweep = angle(end) - a1;
    if (FState.Clockwise) {
        while (sweep >= 0)
            sweep -= 360;
    } else {
        while (sweep <= 0)
            sweep += 360;
    }
    if (!std::isfinite(sweep))
        return;
    QPainterPath path;
    if (kind == TArcKind::Pie) {
        path.moveTo(c);
        path.arcTo(box, a1, sweep);
        path.closeSubpath();
        Draw(path, true, true);
        return;
    }
    path.arcMoveTo(box, a1);
    path.arcTo(box, a1, sweep);
    if (kind == TArcKind::Chord) {
        path.closeSubpath();
        Draw(path, true, true);
    } else if (kind == TArcKind::ArcTo) {
        QPainterPath withLead(FState.Position);
        withLead.connectPath(path);
        ContinueFigure(withLead);
        FState.Position = path.currentPosition();
    } else {
        Draw(path, false, true);
    }
}

void TMetafileCanvas::AngleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!std::isfinite(radius) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg))
        return;
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(FState.Position);
    path.arcTo(box, startDeg, std::clamp(sweepDeg, -360.0, 360.0));
    ContinueFigure(path);
    FState.Position = path.currentPosition();
}

void TMetafileCanvas::SetPixel(QPointF p, QColor c)
{
    if (FInPath)
        return;
    Charge({});
    BeginPaint(QTransform());
    const QPointF at = FFull.map(p);
    FPainter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), c);
    FDrew = true;
}

void TMetafileCanvas::Fill(const QPainterPath& targetPath, const QBrush& brush)
{
    Charge(targetPath.controlPointRect());
    BeginPaint(QTransform());
    FPainter.fillPath(targetPath, brush);
    FDrew = FDrew || brush.style() != Qt::NoBrush;
}

void TMetafileCanvas::FillRects(const std::vector<QRectF>& deviceRects, const QBrush* brush)
{
    if (FInPath)
        return;
    const QBrush& use = brush ? *brush : (FState.Brush.Null ? QBrush(Qt::NoBrush) : FState.Brush.Brush);
    Fill(DeviceRegion(deviceRects), use);
}

void TMetafileCanvas::FillShape(const QPainterPath& logical, const QBrush& brush)
{
    if (FInPath)
        return;
    Charge(FFull.mapRect(logical.controlPointRect()));
    BeginPaint(FFull);
    FPainter.fillPath(logical, brush);
    FDrew = true;
}

void TMetafileCanvas::StrokeShape(const QPainterPath& logical, const QPen& pen)
{
    if (FInPath || pen.style() == Qt::NoPen)
        return;
    QPen use = pen;
    const double pixels = pen.widthF() * std::sqrt(std::abs(FFull.determinant()));
    if (!(pixels >= 1)) {
        use.setWidthF(1);
        use.setCosmetic(true);
    }
    Charge(StrokeBox(logical, FFull, use));
    BeginPaint(FFull);
    FPainter.strokePath(logical, use);
    FDrew = true;
}

void TMetafileCanvas::ClearTarget(QColor color)
{
    if (FInPath)
        return;
    Charge(QRectF(FTarget.rect()));
    BeginPaint(QTransform());
    FPainter.fillRect(QRectF(FTarget.rect()), color);
    FDrew = true;
}

// ---- the path bracket ----------------------------------------------------------------------------------------

void TMetafileCanvas::BeginPath()
{
    FPath.clear();
    FInPath = true;
    FFigureOpen = false;
}

void TMetafileCanvas::AbortPath()
{
    FPath.clear();
    FInPath = false;
}

void TMetafileCanvas::CloseFigure()
{
    if (!FInPath)
        return;
    FPath.closeSubpath();
    FFigureOpen = false;  // what follows starts a new figure at the current position
}

// The outline the current pen would stroke becomes the path, to be filled or clipped to.
void TMetafileCanvas::WidenPath()
{
    if (FInPath || FPath.isEmpty() || FState.Pen.Null)
        return;
    const QPen pen = ScaledPen(QTransform());
    QPainterPathStroker stroker(pen);
    stroker.setWidth(pen.isCosmetic() ? 1 : pen.widthF());
    FPath = stroker.createStroke(FPath);
    FPath.setFillRule(Qt::WindingFill);
}

void TMetafileCanvas::FillPath()
{
    FPath.setFillRule(FState.FillRule);
    DrawTarget(FPath, true, false);
    FPath.clear();
}

void TMetafileCanvas::StrokePath()
{
    DrawTarget(FPath, false, true);
    FPath.clear();
}

void TMetafileCanvas::StrokeAndFillPath()
{
    FPath.setFillRule(FState.FillRule);
    DrawTarget(FPath, true, true);
    FPath.clear();
}
