#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <set>
#include <variant>
#include <vector>

// The device context a metafile is played into: drawing state, object table, saved states, clipping and
// the path bracket, drawing with QPainter into one picture. The EMF and WMF players decode records and call
// this; all coordinates given here are logical units of the metafile.

enum TMapMode : int {
    kMmText = 1, kMmLoMetric, kMmHiMetric, kMmLoEnglish, kMmHiEnglish, kMmTwips, kMmIsotropic, kMmAnisotropic
};

struct TGdiPen {
    QPen Pen{Qt::black, 0};
    bool Null = false;
    bool Cosmetic = true;  // width 0: one device pixel whatever the scale
};

struct TGdiBrush {
    QBrush Brush{Qt::white};
    bool Null = false;
};

struct TGdiFont {
    int Height = 0;      // logical units; negative: character height, positive: cell height
    int Escapement = 0;  // tenths of a degree, counter-clockwise
    int Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    QString Face;
};

// A logical palette: what palette-index colours and palette DIBs stand for once it is selected.
struct TGdiPalette {
    std::vector<QRgb> Entries;
};

// Regions and the objects we keep no data for still take a slot.
struct TGdiOther {};

using TGdiObject = std::variant<TGdiOther, TGdiPen, TGdiBrush, TGdiFont, TGdiPalette>;

// The palette a device context starts with: the 20 reserved system colours.
const std::vector<QRgb>& DefaultPalette();

// Objects as both formats describe them: pen style flags, width in logical units (0: one pixel), colour;
// brush style, colour, hatch; a pattern brush from a decoded bitmap.
TGdiPen MakeGdiPen(std::uint32_t style, double width, QColor color);
TGdiBrush MakeGdiBrush(std::uint32_t style, QColor color, std::uint32_t hatch);
TGdiBrush PatternBrush(const QImage& pattern);
// A brush record's brush: solid, null or hatched. Pattern styles there name a bitmap by the writer's own handle,
// which no player has: they make no brush, so selecting the slot keeps the brush before, as on Windows.
TGdiObject LogBrush(std::uint32_t style, QColor color, std::uint32_t hatch);

// Text alignment flags as the records carry them.
inline constexpr std::uint32_t kTaUpdateCp = 1, kTaRight = 2, kTaCenter = 6, kTaBottom = 8, kTaBaseline = 24;

// Region combine modes.
enum TRegionMode : int { kRgnAnd = 1, kRgnOr, kRgnXor, kRgnDiff, kRgnCopy };

struct TTextRun {
    QPointF Reference;             // logical
    QString Text;
    std::vector<double> Advances;  // logical units per character, may be empty
    std::uint32_t Options = 0;     // ETO_ flags
    std::optional<QRectF> Rect;    // logical clip/opaque rectangle
};

class TMetafileCanvas {
public:
    // deviceToTarget maps the metafile's device pixels onto the picture; devicePixelsPerMm sizes the metric
    // mapping modes. With fixedViewport the window always maps onto the whole picture (WMF playback).
    TMetafileCanvas(QImage& target, const QTransform& deviceToTarget, QSizeF devicePixelsPerMm, bool fixedViewport);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

    // Mapping.
    void SetMapMode(int mode);
    void SetWindowOrg(QPointF org);
    void SetWindowExt(QSizeF ext);
    void SetViewportOrg(QPointF org);
    void SetViewportExt(QSizeF ext);
    void OffsetWindowOrg(QPointF by);
    void OffsetViewportOrg(QPointF by);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const QTransform& world);
    void ModifyWorldTransform(const QTransform& xform, int mode);

    // A colour reference as the records carry it: 0x00BBGGRR, or with 0x01 in the high byte an index into the
    // selected palette.
    QColor ColorOf(std::uint32_t colorRef) const;
    const std::vector<QRgb>& Palette() const { return FState.Palette; }
    void SelectPalette(std::uint32_t index);
    void SetPaletteEntries(std::uint32_t index, std::uint32_t start, const std::vector<QRgb>& entries);

    // Attributes.
    void SetTextColor(QColor c) { FState.TextColor = c; }
    void SetBkColor(QColor c) { FState.BkColor = c; }
    QColor TextColor() const { return FState.TextColor; }
    QColor BkColor() const { return FState.BkColor; }
    void SetBkMode(int mode) { FState.BkOpaque = mode == 2; }
    void SetTextAlign(std::uint32_t align) { FState.TextAlign = align; }
    void SetPolyFillMode(int mode) { FState.FillRule = mode == 2 ? Qt::WindingFill : Qt::OddEvenFill; }
    void SetArcDirection(int dir) { FState.Clockwise = dir == 2; }
    void SetMiterLimit(double limit) { FState.MiterLimit = limit; }
    void SetStretchBltMode(int mode) { FState.SmoothStretch = mode == 4; }  // HALFTONE averages, the rest pick

    // Objects. EMF names the slot; WMF takes the lowest free one.
    bool CreateObjectAt(std::uint32_t index, TGdiObject object);
    void CreateObject(TGdiObject object);
    void SelectObject(std::uint32_t index);
    void DeleteObject(std::uint32_t index);
    void ResizeObjectTable(std::size_t count);

    // Saved states.
    void SaveDC();
    void RestoreDC(int which);

    // Clipping.
    void IntersectClipRect(const QRectF& r);
    void ExcludeClipRect(const QRectF& r);
    void OffsetClip(QPointF by);
    // rects in device pixels; none with kRgnCopy resets the clip.
    void SelectClipRegion(const std::vector<QRectF>& deviceRects, int mode);
    void SelectClipPath(int mode);

    // Current position and lines.
    void MoveTo(QPointF p);
    void LineTo(QPointF p);

    // Shapes.
    void Polyline(const QPolygonF& points);
    void PolylineTo(const QPolygonF& points);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const std::vector<QPolygonF>& polygons);
    void PolyPolyline(const std::vector<QPolygonF>& lines);
    void PolyBezier(const QPolygonF& points);
    void PolyBezierTo(const QPolygonF& points);
    // Points with a type byte each: move 6, line 2, Bézier 4 (three in a row), plus 1 to close the figure.
    void PolyDraw(const QPolygonF& points, QByteArrayView types);
    void Rectangle(const QRectF& r);
    void RoundRect(const QRectF& r, QSizeF corner);
    void Ellipse(const QRectF& r);
    enum class TArcKind { Arc, ArcTo, Chord, Pie };
    void Arc(TArcKind kind, const QRectF& box, QPointF start, QPointF end);
    void AngleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void SetPixel(QPointF p, QColor c);
    void FillRects(const std::vector<QRectF>& deviceRects, const QBrush* brush);  // brush null: the current one
    // A shape filled with the given brush (a gradient, say), in logical units, without outline.
    void FillShape(const QPainterPath& logical, const QBrush& brush);
    // A shape outlined with the given pen, whose width is in logical units (0: one pixel).
    void StrokeShape(const QPainterPath& logical, const QPen& pen);
    // Text laid out from the top left of box (logical units) in font, whose pixel size is in logical units.
    void DrawTextBox(const QRectF& box, const QString& text, QFont font, double emLogical, QColor color);
    // The whole picture, inside the clip, in one colour.
    void ClearTarget(QColor color);
    // The clip combined with a shape in logical units (a region mode).
    void ClipTo(const QPainterPath& logical, int mode) { Combine(FFull.map(logical), mode); }

    // Text.
    void TextOut(const TTextRun& run);

    // Bitmaps and raster operations.
    void StretchBitmap(const QRectF& dest, const QImage& image, const QRectF& source, std::uint32_t rop);
    void PatBlt(const QRectF& dest, std::uint32_t rop);
    QBrush BrushAt(std::uint32_t index) const;

    // The path bracket.
    void BeginPath();
    void EndPath() { FInPath = false; }
    void AbortPath();
    void CloseFigure();
    void WidenPath();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();

    // Deeper nesting than this is no drawing anyone made.
    static constexpr int kMaxSavedStates = 1024;

    // True once a record has painted something (whether or not clipping let it show).
    bool Drew() const { return FDrew; }
    // The work of playback, so a small file cannot keep us drawing for minutes: every drawing record costs the
    // area it may touch (at least kRecordWork), every clip change the size of the clip it builds. Past the
    // budget the players stop and the picture keeps what was drawn.
    static constexpr std::int64_t kRecordWork = 256;
    // What one path element of a clip combination costs, in pixels drawn: path clipping is slow per element.
    static constexpr std::int64_t kClipElementWork = 1024;
    std::int64_t Work() const { return FWork; }
    // Work an earlier pass over the same picture did: passes share one budget.
    void AddWork(std::int64_t work) { FWork += work; }
    std::int64_t WorkBudget() const { return FBudget; }
    bool Exhausted() const { return FWork > FBudget; }
    std::int64_t Glyphs() const { return FGlyphs; }           // characters laid out as glyphs
    int LargestClip() const { return FLargestClip; }          // path elements of the largest clip kept
    // A clip combined into more path elements than this is simplified to its bounding box: combining paths costs
    // time that grows with their size, and thousands of scattered clip rectangles would grow it without end.
    static constexpr int kMaxClipElements = 1024;

private:
    struct TState {
        int MapMode = kMmText;
        QPointF WindowOrg{0, 0};
        QSizeF WindowExt{1, 1};
        QPointF ViewportOrg{0, 0};
        QSizeF ViewportExt{1, 1};
        QTransform World;
        TGdiPen Pen;
        TGdiBrush Brush;
        TGdiFont Font;
        QColor TextColor{Qt::black};
        QColor BkColor{Qt::white};
        bool BkOpaque = true;
        std::uint32_t TextAlign = 0;
        Qt::FillRule FillRule = Qt::OddEvenFill;
        bool Clockwise = false;
        double MiterLimit = 10;
        bool SmoothStretch = false;
        QPointF Position;
        std::optional<QPainterPath> Clip;  // target pixels
        std::vector<QRgb> Palette = DefaultPalette();
    };

    QTransform PageTransform() const;
    QTransform FullTransform() const;
    void UpdateTransform();
    void Draw(const QPainterPath& logical, bool fill, bool stroke);
    void DrawTarget(const QPainterPath& targetPath, bool fill, bool stroke);
    void Paint(const QPainterPath& path, const QTransform& transform, bool fill, bool stroke);
    void BeginPaint(const QTransform& transform);
    QPen ScaledPen(const QTransform& transform) const;
    static QBrush PixelBrush(QBrush brush, const QTransform& painterTransform);
    void Combine(const QPainterPath& targetArea, int mode);
    void Charge(const QRectF& targetArea);
    QPainterPath TargetRect(const QRectF& logical) const;
    void SelectStock(std::uint32_t index);
    void Fill(const QPainterPath& targetPath, const QBrush& brush);
    void ContinueFigure(const QPainterPath& logical);
    void AddFigures(const QPainterPath& targetPath, bool closed);
    bool WindowFlipped() const;
    bool ExtentsApply() const;
    QPainterPath DeviceRegion(const std::vector<QRectF>& deviceRects) const;
    QFont MakeFont(int pixelSize) const;
    struct TTextLayout {
        QTransform Frame;     // font units to target pixels: origin, rotation, scale
        QPainterPath Glyphs;  // font units
        QRectF Box;           // the background box, font units
        double Scale = 1;
        double UnitX = 0;     // target pixels per logical unit along x
        double Width = 0;     // font units
        qsizetype Characters = 0;  // laid out, after the glyph bound
    };
    double TextPixels() const;
    std::optional<TTextLayout> LayoutText(const TTextRun& run, QPointF reference) const;
    void PaintText(const TTextLayout& layout, const TTextRun& run);

    QImage& FTarget;
    QPainter FPainter;
    QTransform FBase;
    QSizeF FPixelsPerMm;
    bool FFixedViewport;
    TState FState;
    QTransform FFull;
    std::vector<TState> FSaved;
    std::vector<std::optional<TGdiObject>> FObjects;
    std::set<std::uint32_t> FFreeSlots;  // lowest first: where the next WMF object goes
    bool FClipDirty = true;
    bool FInPath = false;
    bool FFigureOpen = false;  // the path's last figure goes on from the current position
    bool FDrew = false;
    std::int64_t FWork = 0;
    std::int64_t FBudget = 0;
    std::int64_t FGlyphs = 0;
    int FLargestClip = 0;
    QPainterPath FPath;  // target pixels
};
