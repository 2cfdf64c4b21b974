#include "formats/metafile_canvas.h"

#include <QFontMetricsF>
#include <QRegion>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kStockFlag = 0x80000000u;
constexpr std::uint32_t kEtoOpaque = 2, kEtoClipped = 4;
// Larger glyphs only make Qt build enormous glyph images; no readable picture needs them.
constexpr double kMaxTextPixels = 16384;
// Lines of text are short; a run longer than this is no text anyone set.
constexpr qsizetype kMaxTextChars = 8192;

bool Finite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
           std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23()) &&
           std::isfinite(t.m33());
}

double Ratio(double num, double denom)
{
    return denom == 0 ? 1.0 : num / denom;
}

// Logical units per millimetre of the metric mapping modes, and whether y grows upwards.
double MillimetresPerUnit(int mode)
{
    switch (mode) {
    case kMmLoMetric: return 0.1;
    case kMmHiMetric: return 0.01;
    case kMmLoEnglish: return 0.254;
    case kMmHiEnglish: return 0.0254;
    case kMmTwips: return 25.4 / 1440;
    default: return 0;
    }
}

QPainterPath RectPath(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    return path;
}

QColor StockGray(std::uint32_t index)
{
    static constexpr int kLevels[] = {255, 192, 128, 64, 0};
    return QColor(kLevels[index], kLevels[index], kLevels[index]);
}

bool IsHatch(const QBrush& b)
{
    return b.style() >= Qt::HorPattern && b.style() <= Qt::DiagCrossPattern;
}

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

QPen PenFromStyle(std::uint32_t style, double width, QColor color, bool cosmetic)
{
    QPen pen(color);
    switch (style & 0x0F) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
    }
    // Wide pens of the simple kind are always solid.
    if (!cosmetic && width > 1 && !(style & 0x10000))
        pen.setStyle(Qt::SolidLine);
    switch (style & 0x0F00) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (style & 0xF000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    pen.setWidthF(cosmetic ? 0 : width);
    return pen;
}

}  // namespace

TGdiPen MakeGdiPen(std::uint32_t style, double width, QColor color)
{
    if ((style & 0x0F) == 5)
        return TGdiPen{QPen(Qt::NoPen), true, true};
    const bool cosmetic = width <= 0;  // width 0: one pixel whatever the mapping
    return TGdiPen{PenFromStyle(style, width, color, cosmetic), false, cosmetic};
}

TGdiBrush MakeGdiBrush(std::uint32_t style, QColor color, std::uint32_t hatch)
{
    static constexpr Qt::BrushStyle kHatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                  Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    switch (style) {
    case 1: return TGdiBrush{QBrush(Qt::NoBrush), true};
    case 2: return TGdiBrush{QBrush(color, hatch < 6 ? kHatches[hatch] : Qt::SolidPattern), false};
    default: return TGdiBrush{QBrush(color), false};
    }
}

TGdiBrush PatternBrush(const QImage& pattern)
{
    if (pattern.isNull())
        return TGdiBrush{QBrush(Qt::black), false};
    return TGdiBrush{QBrush(pattern), false};
}


TMetafileCanvas::TMetafileCanvas(QImage& target, const QTransform& deviceToTarget, QSizeF devicePixelsPerMm,
                                 bool fixedViewport)
    : target_(target), painter_(&target), base_(deviceToTarget), pixelsPerMm_(devicePixelsPerMm),
      fixedViewport_(fixedViewport)
{
    if (fixedViewport_)
        state_.mapMode = kMmAnisotropic;
    UpdateTransform();
}

TMetafileCanvas::~TMetafileCanvas() = default;

// ---- mapping -------------------------------------------------------------------------------------------------

QTransform TMetafileCanvas::PageTransform() const
{
    const TState& s = state_;
    double sx = 1, sy = 1;
    QPointF viewportOrg = s.viewportOrg;
    if (fixedViewport_) {
        // A WMF's window is stretched over the whole picture, whatever it says of its viewport.
        sx = Ratio(target_.width(), s.windowExt.width());
        sy = Ratio(target_.height(), s.windowExt.height());
        viewportOrg = {0, 0};
    } else if (const double mm = MillimetresPerUnit(s.mapMode); mm > 0) {
        sx = mm * pixelsPerMm_.width();
        sy = -mm * pixelsPerMm_.height();
    } else if (s.mapMode == kMmIsotropic || s.mapMode == kMmAnisotropic) {
        sx = Ratio(s.viewportExt.width(), s.windowExt.width());
        sy = Ratio(s.viewportExt.height(), s.windowExt.height());
        if (s.mapMode == kMmIsotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    }
    return QTransform(sx, 0, 0, sy, viewportOrg.x() - s.windowOrg.x() * sx, viewportOrg.y() - s.windowOrg.y() * sy);
}

QTransform TMetafileCanvas::FullTransform() const
{
    return state_.world * PageTransform() * base_;
}

void TMetafileCanvas::UpdateTransform()
{
    full_ = FullTransform();
    if (!Finite(full_))
        full_ = QTransform(0, 0, 0, 0, 0, 0);  // draws nothing rather than feeding Qt non-numbers
}

void TMetafileCanvas::SetMapMode(int mode)
{
    if (fixedViewport_ || mode < kMmText || mode > kMmAnisotropic)
        return;
    state_.mapMode = mode;
    UpdateTransform();
}

void TMetafileCanvas::SetWindowOrg(QPointF org)
{
    state_.windowOrg = org;
    UpdateTransform();
}

void TMetafileCanvas::SetWindowExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0)
        return;
    state_.windowExt = ext;
    UpdateTransform();
}

void TMetafileCanvas::SetViewportOrg(QPointF org)
{
    state_.viewportOrg = org;
    UpdateTransform();
}

void TMetafileCanvas::SetViewportExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0)
        return;
    state_.viewportExt = ext;
    UpdateTransform();
}

void TMetafileCanvas::OffsetWindowOrg(QPointF by)
{
    SetWindowOrg(state_.windowOrg + by);
}

void TMetafileCanvas::OffsetViewportOrg(QPointF by)
{
    SetViewportOrg(state_.viewportOrg + by);
}

void TMetafileCanvas::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    SetWindowExt({state_.windowExt.width() * xNum / xDenom, state_.windowExt.height() * yNum / yDenom});
}

void TMetafileCanvas::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    SetViewportExt({state_.viewportExt.width() * xNum / xDenom, state_.viewportExt.height() * yNum / yDenom});
}

void TMetafileCanvas::SetWorldTransform(const QTransform& world)
{
    if (!Finite(world) || !world.isInvertible())
        return;
    state_.world = world;
    UpdateTransform();
}

void TMetafileCanvas::ModifyWorldTransform(const QTransform& xform, int mode)
{
    switch (mode) {
    case 1: SetWorldTransform(QTransform()); break;               // identity
    case 2: SetWorldTransform(xform * state_.world); break;       // left multiply
    case 3: SetWorldTransform(state_.world * xform); break;       // right multiply
    case 4: SetWorldTransform(xform); break;                      // set
    default: break;
    }
}

// ---- objects -------------------------------------------------------------------------------------------------

void TMetafileCanvas::ResizeObjectTable(std::size_t count)
{
    objects_.assign(count, std::nullopt);
    freeSlots_.clear();
    for (std::size_t i = 0; i < count; ++i)
        freeSlots_.insert(freeSlots_.end(), std::uint32_t(i));
}

bool TMetafileCanvas::CreateObjectAt(std::uint32_t index, TGdiObject object)
{
    if (index >= objects_.size())
        return false;
    objects_[index] = std::move(object);
    freeSlots_.erase(index);
    return true;
}

void TMetafileCanvas::CreateObject(TGdiObject object)
{
    if (freeSlots_.empty())
        return;
    CreateObjectAt(*freeSlots_.begin(), std::move(object));
}

void TMetafileCanvas::SelectStock(std::uint32_t index)
{
    switch (index) {
    case 0: case 1: case 2: case 3: case 4:
        state_.brush = TGdiBrush{QBrush(StockGray(index)), false};
        break;
    case 5: state_.brush = TGdiBrush{QBrush(Qt::NoBrush), true}; break;
    case 6: state_.pen = TGdiPen{QPen(Qt::white, 0), false, true}; break;
    case 7: state_.pen = TGdiPen{QPen(Qt::black, 0), false, true}; break;
    case 8: state_.pen = TGdiPen{QPen(Qt::NoPen), true, true}; break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: state_.font = TGdiFont{}; break;
    default: break;
    }
}

void TMetafileCanvas::SelectObject(std::uint32_t index)
{
    if (index & kStockFlag) {
        SelectStock(index & ~kStockFlag);
        return;
    }
    if (index >= objects_.size() || !objects_[index])
        return;
    const TGdiObject& object = *objects_[index];
    if (const auto* pen = std::get_if<TGdiPen>(&object))
        state_.pen = *pen;
    else if (const auto* brush = std::get_if<TGdiBrush>(&object))
        state_.brush = *brush;
    else if (const auto* font = std::get_if<TGdiFont>(&object))
        state_.font = *font;
}

void TMetafileCanvas::DeleteObject(std::uint32_t index)
{
    if (index >= objects_.size())
        return;
    objects_[index].reset();
    freeSlots_.insert(index);
}

QBrush TMetafileCanvas::BrushAt(std::uint32_t index) const
{
    if (index & kStockFlag) {
        const std::uint32_t stock = index & ~kStockFlag;
        return stock <= 4 ? QBrush(StockGray(stock)) : QBrush(Qt::NoBrush);
    }
    if (index < objects_.size() && objects_[index])
        if (const auto* brush = std::get_if<TGdiBrush>(&*objects_[index]))
            return brush->null ? QBrush(Qt::NoBrush) : brush->brush;
    return QBrush(Qt::NoBrush);
}

// ---- saved states --------------------------------------------------------------------------------------------

void TMetafileCanvas::SaveDC()
{
    // Deeper nesting than this is no drawing anyone made; the extra saves are dropped.
    if (saved_.size() < std::size_t(kMaxSavedStates))
        saved_.push_back(state_);
}

void TMetafileCanvas::RestoreDC(int which)
{
    const long long depth = static_cast<long long>(saved_.size());
    const long long index = which < 0 ? depth + which : static_cast<long long>(which) - 1;
    if (which == 0 || index < 0 || index >= depth)
        return;
    state_ = saved_[std::size_t(index)];
    saved_.resize(std::size_t(index));
    clipDirty_ = true;
    UpdateTransform();
}

// ---- clipping ------------------------------------------------------------------------------------------------

QPainterPath TMetafileCanvas::TargetRect(const QRectF& logical) const
{
    return full_.map(RectPath(logical));
}

void TMetafileCanvas::Combine(const QPainterPath& area, int mode)
{
    QPainterPath everything;
    everything.addRect(QRectF(-1, -1, target_.width() + 2.0, target_.height() + 2.0));
    const QPainterPath current = state_.clip.value_or(everything);
    switch (mode) {
    case kRgnAnd: state_.clip = current.intersected(area); break;
    case kRgnOr: state_.clip = current.united(area); break;
    case kRgnXor: state_.clip = current.united(area).subtracted(current.intersected(area)); break;
    case kRgnDiff: state_.clip = current.subtracted(area); break;
    case kRgnCopy: state_.clip = area; break;
    default: return;
    }
    clipDirty_ = true;
}

void TMetafileCanvas::IntersectClipRect(const QRectF& r)
{
    Combine(TargetRect(r), kRgnAnd);
}

void TMetafileCanvas::ExcludeClipRect(const QRectF& r)
{
    Combine(TargetRect(r), kRgnDiff);
}

void TMetafileCanvas::OffsetClip(QPointF by)
{
    if (!state_.clip)
        return;
    const QPointF delta = full_.map(by) - full_.map(QPointF(0, 0));
    state_.clip->translate(delta);
    clipDirty_ = true;
}

QPainterPath TMetafileCanvas::DeviceRegion(const std::vector<QRectF>& deviceRects) const
{
    // Regions are lists of axis-aligned rectangles; QRegion unites them far faster than path operations.
    QRegion region;
    for (const QRectF& r : deviceRects)
        region += base_.mapRect(r.normalized()).toAlignedRect();
    QPainterPath path;
    path.addRegion(region);
    return path;
}

void TMetafileCanvas::SelectClipRegion(const std::vector<QRectF>& deviceRects, int mode)
{
    if (deviceRects.empty() && mode == kRgnCopy) {
        state_.clip.reset();
        clipDirty_ = true;
        return;
    }
    Combine(DeviceRegion(deviceRects), mode);
}

void TMetafileCanvas::SelectClipPath(int mode)
{
    Combine(path_, mode);
    path_.clear();
}

// ---- painting ------------------------------------------------------------------------------------------------

void TMetafileCanvas::BeginPaint(const QTransform& transform)
{
    if (clipDirty_) {
        painter_.resetTransform();
        if (state_.clip)
            painter_.setClipPath(*state_.clip);
        else
            painter_.setClipping(false);
        clipDirty_ = false;
    }
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.setTransform(transform);
}

QPen TMetafileCanvas::ScaledPen(const QTransform& transform) const
{
    if (state_.pen.null)
        return QPen(Qt::NoPen);
    QPen pen = state_.pen.pen;
    pen.setMiterLimit(state_.miterLimit);
    // Paths in target pixels are drawn untransformed, so there the width takes the drawing's scale itself.
    const double scale = std::sqrt(std::abs((transform.isIdentity() ? full_ : transform).determinant()));
    const double pixels = pen.widthF() * scale;
    // Cosmetic pens, and pens thinner than a pixel once mapped, still draw one pixel, as on any device.
    if (state_.pen.cosmetic || !(pixels >= 1)) {
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
    BeginPaint(transform);
    if (fill && !state_.brush.null) {
        if (IsHatch(state_.brush.brush) && state_.bkOpaque)
            painter_.fillPath(path, state_.bkColor);  // an opaque background shows between the hatch lines
        painter_.fillPath(path, PixelBrush(state_.brush.brush, transform));
    }
    if (stroke && !state_.pen.null)
        painter_.strokePath(path, ScaledPen(transform));
}

void TMetafileCanvas::DrawTarget(const QPainterPath& path, bool fill, bool stroke)
{
    Paint(path, QTransform(), fill, stroke);  // the path is in target pixels already
}

void TMetafileCanvas::Draw(const QPainterPath& logical, bool fill, bool stroke)
{
    if (inPath_) {
        path_.addPath(full_.map(logical));
        return;
    }
    QPainterPath path = logical;
    path.setFillRule(state_.fillRule);
    Paint(path, full_, fill, stroke);
}

void TMetafileCanvas::MoveTo(QPointF p)
{
    state_.position = p;
    if (inPath_)
        path_.moveTo(full_.map(p));
}

void TMetafileCanvas::LineTo(QPointF p)
{
    QPainterPath line(state_.position);
    line.lineTo(p);
    ContinueFigure(line);
    state_.position = p;
}

// Drawing that starts at the current position: in a path bracket it continues the open figure.
void TMetafileCanvas::ContinueFigure(const QPainterPath& logical)
{
    if (!inPath_) {
        Draw(logical, false, true);
        return;
    }
    if (path_.elementCount() == 0)
        path_.moveTo(full_.map(state_.position));
    path_.connectPath(full_.map(logical));
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
    QPainterPath path(state_.position);
    for (const QPointF& p : points)
        path.lineTo(p);
    ContinueFigure(path);
    state_.position = points.last();
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
    ContinueFigure(Beziers(state_.position, points, 0));
    state_.position = points[(points.size() / 3) * 3 - 1];
}

void TMetafileCanvas::PolyDraw(const QPolygonF& points, QByteArrayView types)
{
    constexpr std::uint8_t kClose = 1, kKind = 6, kLine = 2, kBezier = 4, kMove = 6;
    if (points.isEmpty() || types.size() != points.size())
        return;
    QPainterPath path(state_.position);
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
        if (type & kClose)
            path.closeSubpath();
    }
    ContinueFigure(path);
    state_.position = points.last();
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
    if (state_.clockwise) {
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
        QPainterPath withLead(state_.position);
        withLead.connectPath(path);
        ContinueFigure(withLead);
        state_.position = path.currentPosition();
    } else {
        Draw(path, false, true);
    }
}

void TMetafileCanvas::AngleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!std::isfinite(radius) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg))
        return;
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(state_.position);
    path.arcTo(box, startDeg, std::clamp(sweepDeg, -360.0, 360.0));
    ContinueFigure(path);
    state_.position = path.currentPosition();
}

void TMetafileCanvas::SetPixel(QPointF p, QColor c)
{
    if (inPath_)
        return;
    BeginPaint(QTransform());
    const QPointF at = full_.map(p);
    painter_.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), c);
}

void TMetafileCanvas::Fill(const QPainterPath& targetPath, const QBrush& brush)
{
    BeginPaint(QTransform());
    painter_.fillPath(targetPath, brush);
}

void TMetafileCanvas::FillRects(const std::vector<QRectF>& deviceRects, const QBrush* brush)
{
    if (inPath_)
        return;
    const QBrush& use = brush ? *brush : (state_.brush.null ? QBrush(Qt::NoBrush) : state_.brush.brush);
    Fill(DeviceRegion(deviceRects), use);
}

// ---- text ----------------------------------------------------------------------------------------------------

QFont TMetafileCanvas::MakeFont(int pixelSize) const
{
    QFont font;
    if (!state_.font.face.isEmpty())
        font.setFamily(state_.font.face);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(QFont::Weight(std::clamp(state_.font.weight == 0 ? 400 : state_.font.weight, 1, 1000)));
    font.setItalic(state_.font.italic);
    font.setUnderline(state_.font.underline);
    font.setStrikeOut(state_.font.strikeOut);
    return font;
}

namespace {

// Where each character starts along the baseline, in units of the laid-out font; empty without advances.
std::vector<double> CharacterStarts(const TTextRun& run, double unitsPerLogical, double& width)
{
    std::vector<double> starts;
    width = 0;
    if (run.advances.size() < std::size_t(run.text.size()))
        return starts;
    for (qsizetype i = 0; i < run.text.size(); ++i) {
        starts.push_back(width);
        width += run.advances[std::size_t(i)] * unitsPerLogical;
    }
    return starts;
}

}  // namespace

// The em in target pixels; text stays upright whatever the mapping's y direction.
double TMetafileCanvas::TextPixels() const
{
    if (state_.font.height == 0)
        return 16 * std::sqrt(std::abs(base_.determinant()));
    return std::abs(state_.font.height) * QLineF(full_.map(QPointF(0, 0)), full_.map(QPointF(0, 1))).length();
}

std::optional<TMetafileCanvas::TTextLayout> TMetafileCanvas::LayoutText(const TTextRun& run, QPointF reference) const
{
    const QPointF origin = full_.map(reference);
    const double em = std::min(TextPixels(), kMaxTextPixels);
    if (!std::isfinite(em) || em < 0.5 || !std::isfinite(origin.x()) || !std::isfinite(origin.y()))
        return std::nullopt;
    TTextLayout layout;
    const int baseSize = std::max(1, int(std::lround(em)));
    const QFont font = MakeFont(baseSize);
    const QFontMetricsF metrics(font);
    layout.scale = em / baseSize;
    if (state_.font.height > 0 && metrics.height() > 0)
        layout.scale *= baseSize / metrics.height();  // a positive height is the cell: ascent plus descent
    layout.unitX = QLineF(full_.map(QPointF(0, 0)), full_.map(QPointF(1, 0))).length();

    const QString text = run.text.left(kMaxTextChars);
    const std::vector<double> starts = CharacterStarts(run, layout.unitX / layout.scale, layout.width);
    if (starts.empty())
        layout.width = metrics.horizontalAdvance(text);
    if (!std::isfinite(layout.width))
        return std::nullopt;

    QPointF at(0, metrics.ascent());  // top alignment
    const std::uint32_t horizontal = state_.textAlign & kTaCenter;
    if (horizontal == kTaCenter)
        at.rx() = -layout.width / 2;
    else if (horizontal == kTaRight)
        at.rx() = -layout.width;
    const std::uint32_t vertical = state_.textAlign & kTaBaseline;
    if (vertical == kTaBaseline)
        at.ry() = 0;
    else if (vertical == kTaBottom)
        at.ry() = -metrics.descent();
    layout.box = QRectF(at.x(), at.y() - metrics.ascent(), layout.width, metrics.height());

    const double worldAngle = qRadiansToDegrees(std::atan2(state_.world.m12(), state_.world.m11()));
    layout.frame.translate(origin.x(), origin.y());
    layout.frame.rotate(worldAngle - state_.font.escapement / 10.0);
    layout.frame.scale(layout.scale, layout.scale);

    if (starts.empty()) {
        layout.glyphs.addText(at, font, text);
        return layout;
    }
    // The metafile placed every character itself; keep its layout rather than our font's. Characters far off
    // the picture cost time and draw nothing.
    const QRectF visible = layout.frame.inverted().mapRect(QRectF(target_.rect())).adjusted(-baseSize, 0, baseSize, 0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const double x = at.x() + starts[std::size_t(i)];
        if (x >= visible.left() && x <= visible.right())
            layout.glyphs.addText(QPointF(x, at.y()), font, text.mid(i, 1));
    }
    return layout;
}

void TMetafileCanvas::PaintText(const TTextLayout& layout, const TTextRun& run)
{
    const bool clipped = run.rect && (run.options & kEtoClipped);
    if (clipped) {
        painter_.save();
        BeginPaint(QTransform());
        painter_.setClipPath(TargetRect(*run.rect), Qt::IntersectClip);
    }
    BeginPaint(layout.frame);
    if (state_.bkOpaque)
        painter_.fillRect(layout.box, state_.bkColor);
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.fillPath(layout.glyphs, state_.textColor);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    if (clipped) {
        painter_.restore();
        clipDirty_ = true;
    }
}

void TMetafileCanvas::TextOut(const TTextRun& run)
{
    if (run.rect && (run.options & kEtoOpaque) && !inPath_)
        Fill(TargetRect(*run.rect), state_.bkColor);
    if (run.text.isEmpty())
        return;
    const bool updateCp = state_.textAlign & kTaUpdateCp;
    const QPointF reference = updateCp ? state_.position : run.reference;
    const std::optional<TTextLayout> layout = LayoutText(run, reference);
    if (!layout)
        return;
    if (inPath_)
        path_.addPath(layout->frame.map(layout->glyphs));
    else
        PaintText(*layout, run);
    if (updateCp && layout->unitX > 0)
        state_.position = reference + QPointF(layout->width * layout->scale / layout->unitX, 0);
}

// ---- bitmaps -------------------------------------------------------------------------------------------------

void TMetafileCanvas::StretchBitmap(const QRectF& dest, const QImage& image, const QRectF& source, std::uint32_t rop)
{
    if (inPath_ || image.isNull() || source.width() == 0 || source.height() == 0)
        return;
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform sourceToLogical(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy);
    const QTransform transform = sourceToLogical * full_;
    if (!Finite(transform))
        return;
    BeginPaint(transform);
    painter_.setCompositionMode(RopMode(rop));
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, state_.smoothStretch);
    painter_.drawImage(source.topLeft(), image, source);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TMetafileCanvas::PatBlt(const QRectF& dest, std::uint32_t rop)
{
    if (inPath_)
        return;
    const QPainterPath area = TargetRect(dest);
    BeginPaint(QTransform());
    switch (rop) {
    case 0x00F00021:  // PATCOPY
        if (!state_.brush.null)
            painter_.fillPath(area, state_.brush.brush);
        break;
    case 0x005A0049:  // PATINVERT
        if (!state_.brush.null) {
            painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter_.fillPath(area, state_.brush.brush);
        }
        break;
    case 0x00000042: painter_.fillPath(area, Qt::black); break;  // BLACKNESS
    case 0x00FF0062: painter_.fillPath(area, Qt::white); break;  // WHITENESS
    case 0x00550009:                                             // DSTINVERT
        painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter_.fillPath(area, Qt::black);
        break;
    default: break;
    }
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- the path bracket ----------------------------------------------------------------------------------------

void TMetafileCanvas::BeginPath()
{
    path_.clear();
    inPath_ = true;
}

void TMetafileCanvas::AbortPath()
{
    path_.clear();
    inPath_ = false;
}

void TMetafileCanvas::CloseFigure()
{
    if (inPath_)
        path_.closeSubpath();
}

void TMetafileCanvas::FillPath()
{
    path_.setFillRule(state_.fillRule);
    DrawTarget(path_, true, false);
    path_.clear();
}

void TMetafileCanvas::StrokePath()
{
    DrawTarget(path_, false, true);
    path_.clear();
}

void TMetafileCanvas::StrokeAndFillPath()
{
    path_.setFillRule(state_.fillRule);
    DrawTarget(path_, true, true);
    path_.clear();
}
