#include "formats/metafile_canvas.h"
#include "formats/metafile_geometry.h"

#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

using metafile_detail::Finite;
using metafile_detail::RectPath;

constexpr std::uint32_t kStockFlag = 0x80000000u;

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

QColor StockGray(std::uint32_t index)
{
    static constexpr int kLevels[] = {255, 192, 128, 64, 0};
    return QColor(kLevels[index], kLevels[index], kLevels[index]);
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

const std::vector<QRgb>& DefaultPalette()
{
    static const std::vector<QRgb> palette = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),     qRgb(128, 128, 0),   qRgb(0, 0, 128),
        qRgb(128, 0, 128),   qRgb(0, 128, 128),   qRgb(192, 192, 192), qRgb(192, 220, 192), qRgb(166, 202, 240),
        qRgb(255, 251, 240), qRgb(160, 160, 164), qRgb(128, 128, 128), qRgb(255, 0, 0),     qRgb(0, 255, 0),
        qRgb(255, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255),   qRgb(255, 255, 255)};
    return palette;
}

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

TGdiObject LogBrush(std::uint32_t style, QColor color, std::uint32_t hatch)
{
    constexpr std::uint32_t kHatched = 2;
    if (style > kHatched)
        return TGdiOther{};
    return MakeGdiBrush(style, color, hatch);
}

TGdiBrush PatternBrush(const QImage& pattern)
{
    if (pattern.isNull())
        return TGdiBrush{QBrush(Qt::black), false};
    return TGdiBrush{QBrush(pattern), false};
}

TMetafileCanvas::TMetafileCanvas(QImage& target, const QTransform& deviceToTarget, QSizeF devicePixelsPerMm,
                                 bool fixedViewport)
    : FTarget(target), FPainter(&target), FBase(deviceToTarget), FPixelsPerMm(devicePixelsPerMm),
      FFixedViewport(fixedViewport)
{
    if (FFixedViewport)
        FState.MapMode = kMmAnisotropic;
    UpdateTransform();
    // A drawing covers its picture a few times over; the floor keeps small pictures with many records whole.
    constexpr std::int64_t kCoverages = 8;
    constexpr std::int64_t kMinBudget = std::int64_t(1) << 28;
    FBudget = std::max(kMinBudget, kCoverages * target.width() * std::int64_t(target.height()));
}

void TMetafileCanvas::Charge(const QRectF& targetArea)
{
    const QRectF visible = targetArea.intersected(QRectF(FTarget.rect()));
    const double area = visible.isValid() ? visible.width() * visible.height() : 0;
    FWork += std::max(kRecordWork, std::int64_t(std::min(area, 1e15)));
}

TMetafileCanvas::~TMetafileCanvas() = default;

// ---- mapping -------------------------------------------------------------------------------------------------

QTransform TMetafileCanvas::PageTransform() const
{
    const TState& s = FState;
    double sx = 1, sy = 1;
    QPointF viewportOrg = s.ViewportOrg;
    if (FFixedViewport) {
        // A WMF's window is stretched over the whole picture, whatever it says of its viewport.
        sx = Ratio(FTarget.width(), s.WindowExt.width());
        sy = Ratio(FTarget.height(), s.WindowExt.height());
        viewportOrg = {0, 0};
    } else if (const double mm = MillimetresPerUnit(s.MapMode); mm > 0) {
        sx = mm * FPixelsPerMm.width();
        sy = -mm * FPixelsPerMm.height();
    } else if (s.MapMode == kMmIsotropic || s.MapMode == kMmAnisotropic) {
        sx = Ratio(s.ViewportExt.width(), s.WindowExt.width());
        sy = Ratio(s.ViewportExt.height(), s.WindowExt.height());
        if (s.MapMode == kMmIsotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    }
    return QTransform(sx, 0, 0, sy, viewportOrg.x() - s.WindowOrg.x() * sx, viewportOrg.y() - s.WindowOrg.y() * sy);
}

QTransform TMetafileCanvas::FullTransform() const
{
    return FState.World * PageTransform() * FBase;
}

void TMetafileCanvas::UpdateTransform()
{
    FFull = FullTransform();
    if (!Finite(FFull))
        FFull = QTransform(0, 0, 0, 0, 0, 0);  // draws nothing rather than feeding Qt non-numbers
}

void TMetafileCanvas::SetMapMode(int mode)
{
    if (FFixedViewport || mode < kMmText || mode > kMmAnisotropic)
        return;
    // Text mode maps one to one and forgets the extents, as a device context does: a scalable mode chosen after
    // it starts from one to one, not from extents set long before.
    if (mode == kMmText)
        FState.WindowExt = FState.ViewportExt = {1, 1};
    FState.MapMode = mode;
    UpdateTransform();
}

// Only the two scalable modes have extents of their own; a device context ignores them in the others.
bool TMetafileCanvas::ExtentsApply() const
{
    return FFixedViewport || FState.MapMode == kMmIsotropic || FState.MapMode == kMmAnisotropic;
}

void TMetafileCanvas::SetWindowOrg(QPointF org)
{
    FState.WindowOrg = org;
    UpdateTransform();
}

void TMetafileCanvas::SetWindowExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0 || !ExtentsApply())
        return;
    FState.WindowExt = ext;
    UpdateTransform();
}

void TMetafileCanvas::SetViewportOrg(QPointF org)
{
    FState.ViewportOrg = org;
    UpdateTransform();
}

void TMetafileCanvas::SetViewportExt(QSizeF ext)
{
    if (ext.width() == 0 || ext.height() == 0 || !ExtentsApply())
        return;
    FState.ViewportExt = ext;
    UpdateTransform();
}

void TMetafileCanvas::OffsetWindowOrg(QPointF by)
{
    SetWindowOrg(FState.WindowOrg + by);
}

void TMetafileCanvas::OffsetViewportOrg(QPointF by)
{
    SetViewportOrg(FState.ViewportOrg + by);
}

void TMetafileCanvas::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    SetWindowExt({FState.WindowExt.width() * xNum / xDenom, FState.WindowExt.height() * yNum / yDenom});
}

void TMetafileCanvas::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    SetViewportExt({FState.ViewportExt.width() * xNum / xDenom, FState.ViewportExt.height() * yNum / yDenom});
}

void TMetafileCanvas::SetWorldTransform(const QTransform& world)
{
    if (!Finite(world) || !world.isInvertible())
        return;
    FState.World = world;
    UpdateTransform();
}

void TMetafileCanvas::ModifyWorldTransform(const QTransform& xform, int mode)
{
    switch (mode) {
    case 1: SetWorldTransform(QTransform()); break;               // identity
    case 2: SetWorldTransform(xform * FState.World); break;       // left multiply
    case 3: SetWorldTransform(FState.World * xform); break;       // right multiply
    case 4: SetWorldTransform(xform); break;                      // set
    default: break;
    }
}

// ---- objects -------------------------------------------------------------------------------------------------

QColor TMetafileCanvas::ColorOf(std::uint32_t colorRef) const
{
    if ((colorRef >> 24) == 0x01) {
        const std::uint32_t index = colorRef & 0xFFFF;
        const std::vector<QRgb>& palette = FState.Palette;
        return QColor(index < palette.size() ? palette[index] : palette.front());
    }
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

void TMetafileCanvas::SelectPalette(std::uint32_t index)
{
    if (index & kStockFlag) {
        FState.Palette = DefaultPalette();
        return;
    }
    if (index < FObjects.size() && FObjects[index])
        if (const auto* palette = std::get_if<TGdiPalette>(&*FObjects[index]); palette && !palette->Entries.empty())
            FState.Palette = palette->Entries;
}

void TMetafileCanvas::SetPaletteEntries(std::uint32_t index, std::uint32_t start, const std::vector<QRgb>& entries)
{
    if (index >= FObjects.size() || !FObjects[index])
        return;
    auto* palette = std::get_if<TGdiPalette>(&*FObjects[index]);
    if (!palette)
        return;
    for (std::size_t i = 0; i < entries.size() && start + i < palette->Entries.size(); ++i)
        palette->Entries[start + i] = entries[i];
}

void TMetafileCanvas::ResizeObjectTable(std::size_t count)
{
    FObjects.assign(count, std::nullopt);
    FFreeSlots.clear();
    for (std::size_t i = 0; i < count; ++i)
        FFreeSlots.insert(FFreeSlots.end(), std::uint32_t(i));
}

bool TMetafileCanvas::CreateObjectAt(std::uint32_t index, TGdiObject object)
{
    if (index >= FObjects.size())
        return false;
    FObjects[index] = std::move(object);
    FFreeSlots.erase(index);
    return true;
}

void TMetafileCanvas::CreateObject(TGdiObject object)
{
    if (FFreeSlots.empty())
        return;
    CreateObjectAt(*FFreeSlots.begin(), std::move(object));
}

void TMetafileCanvas::SelectStock(std::uint32_t index)
{
    switch (index) {
    case 0: case 1: case 2: case 3: case 4:
        FState.Brush = TGdiBrush{QBrush(StockGray(index)), false};
        break;
    case 5: FState.Brush = TGdiBrush{QBrush(Qt::NoBrush), true}; break;
    case 6: FState.Pen = TGdiPen{QPen(Qt::white, 0), false, true}; break;
    case 7: FState.Pen = TGdiPen{QPen(Qt::black, 0), false, true}; break;
    case 8: FState.Pen = TGdiPen{QPen(Qt::NoPen), true, true}; break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: FState.Font = TGdiFont{}; break;
    default: break;
    }
}

void TMetafileCanvas::SelectObject(std::uint32_t index)
{
    if (index & kStockFlag) {
        SelectStock(index & ~kStockFlag);
        return;
    }
    if (index >= FObjects.size() || !FObjects[index])
        return;
    const TGdiObject& object = *FObjects[index];
    if (const auto* pen = std::get_if<TGdiPen>(&object))
        FState.Pen = *pen;
    else if (const auto* brush = std::get_if<TGdiBrush>(&object))
        FState.Brush = *brush;
    else if (const auto* font = std::get_if<TGdiFont>(&object))
        FState.Font = *font;
}

void TMetafileCanvas::DeleteObject(std::uint32_t index)
{
    if (index >= FObjects.size())
        return;
    FObjects[index].reset();
    FFreeSlots.insert(index);
}

QBrush TMetafileCanvas::BrushAt(std::uint32_t index) const
{
    if (index & kStockFlag) {
        const std::uint32_t stock = index & ~kStockFlag;
        return stock <= 4 ? QBrush(StockGray(stock)) : QBrush(Qt::NoBrush);
    }
    if (index < FObjects.size() && FObjects[index])
        if (const auto* brush = std::get_if<TGdiBrush>(&*FObjects[index]))
            return brush->Null ? QBrush(Qt::NoBrush) : brush->Brush;
    return QBrush(Qt::NoBrush);
}

// ---- saved states --------------------------------------------------------------------------------------------

void TMetafileCanvas::SaveDC()
{
    // Deeper nesting than this is no drawing anyone made; the extra saves are dropped.
    if (FSaved.size() < std::size_t(kMaxSavedStates))
        FSaved.push_back(FState);
}

void TMetafileCanvas::RestoreDC(int which)
{
    const long long depth = static_cast<long long>(FSaved.size());
    const long long index = which < 0 ? depth + which : static_cast<long long>(which) - 1;
    if (which == 0 || index < 0 || index >= depth)
        return;
    FState = FSaved[std::size_t(index)];
    FSaved.resize(std::size_t(index));
    FClipDirty = true;
    UpdateTransform();
}

// ---- clipping ------------------------------------------------------------------------------------------------

QPainterPath TMetafileCanvas::TargetRect(const QRectF& logical) const
{
    return FFull.map(RectPath(logical));
}

void TMetafileCanvas::Combine(const QPainterPath& area, int mode)
{
    QPainterPath everything;
    everything.addRect(QRectF(-1, -1, FTarget.width() + 2.0, FTarget.height() + 2.0));
    const QPainterPath current = FState.Clip.value_or(everything);
    switch (mode) {
    case kRgnAnd: FState.Clip = current.intersected(area); break;
    case kRgnOr: FState.Clip = current.united(area); break;
    case kRgnXor: FState.Clip = current.united(area).subtracted(current.intersected(area)); break;
    case kRgnDiff: FState.Clip = current.subtracted(area); break;
    case kRgnCopy: FState.Clip = area; break;
    default: return;
    }
    // A region selected as it is costs nothing to keep exact; combining is what costs, again and again.
    if (mode != kRgnCopy && FState.Clip->elementCount() > kMaxClipElements)
        FState.Clip = RectPath(FState.Clip->boundingRect());
    FLargestClip = std::max(FLargestClip, FState.Clip->elementCount());
    FWork += kRecordWork + kClipElementWork * (current.elementCount() + area.elementCount());
    FClipDirty = true;
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
    if (!FState.Clip)
        return;
    const QPointF delta = FFull.map(by) - FFull.map(QPointF(0, 0));
    FState.Clip->translate(delta);
    FClipDirty = true;
}

QPainterPath TMetafileCanvas::DeviceRegion(const std::vector<QRectF>& deviceRects) const
{
    // Regions are lists of axis-aligned rectangles; QRegion unites them far faster than path operations.
    QRegion region;
    for (const QRectF& r : deviceRects)
        region += FBase.mapRect(r.normalized()).toAlignedRect();
    QPainterPath path;
    path.addRegion(region);
    return path;
}

void TMetafileCanvas::SelectClipRegion(const std::vector<QRectF>& deviceRects, int mode)
{
    if (deviceRects.empty() && mode == kRgnCopy) {
        FState.Clip.reset();
        FClipDirty = true;
        return;
    }
    Combine(DeviceRegion(deviceRects), mode);
}

void TMetafileCanvas::SelectClipPath(int mode)
{
    Combine(FPath, mode);
    FPath.clear();
}
