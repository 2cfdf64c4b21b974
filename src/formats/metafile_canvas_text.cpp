#include "formats/metafile_canvas.h"

#include <QFontMetricsF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kEtoOpaque = 2, kEtoClipped = 4;
// Larger glyphs only make Qt build enormous glyph images; no readable picture needs them.
constexpr double kMaxTextPixels = 16384;
// Lines of text are short; a run longer than this is no text anyone set.
constexpr qsizetype kMaxTextChars = 8192;
// Glyph outlines cost time with their count and their area. A line of large letters runs off any page long
// before this much glyph area (em squared per character) is reached.
constexpr double kMaxGlyphArea = double(1 << 26);

qsizetype GlyphLimit(double em)
{
    return qsizetype(std::clamp(kMaxGlyphArea / std::max(em * em, 1.0), 1.0, double(kMaxTextChars)));
}

}  // namespace

void TMetafileCanvas::DrawTextBox(const QRectF& box, const QString& text, QFont font, double emLogical, QColor color)
{
    const double scale = std::sqrt(std::abs(FFull.determinant()));
    const double em = std::min(emLogical * scale, kMaxTextPixels);
    if (FInPath || text.isEmpty() || !std::isfinite(em) || em < 0.5 || !(scale > 0))
        return;
    // Laid out at a whole pixel size in target pixels, then scaled back into logical units.
    const int pixels = std::max(1, int(std::lround(em)));
    font.setPixelSize(pixels);
    const double toLogical = em / pixels / scale;
    BeginPaint(QTransform::fromScale(toLogical, toLogical) * FFull);
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.setFont(font);
    FPainter.setPen(color);
    const QRectF laid(box.topLeft() / toLogical, box.size() / toLogical);
    const int flags = Qt::AlignLeft | Qt::AlignTop | (laid.width() > 0 ? Qt::TextWordWrap : Qt::TextDontClip);
    const QRectF frame = laid.width() > 0 ? laid : QRectF(laid.topLeft(), QSizeF(1e6, 1e6));
    Charge(FPainter.transform().mapRect(frame));
    FPainter.drawText(frame, flags, text.left(kMaxTextChars));
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FDrew = true;
}

QFont TMetafileCanvas::MakeFont(int pixelSize) const
{
    QFont font;
    if (!FState.Font.Face.isEmpty())
        font.setFamily(FState.Font.Face);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(QFont::Weight(std::clamp(FState.Font.Weight == 0 ? 400 : FState.Font.Weight, 1, 1000)));
    font.setItalic(FState.Font.Italic);
    font.setUnderline(FState.Font.Underline);
    font.setStrikeOut(FState.Font.StrikeOut);
    return font;
}

namespace {

// Where each character starts along the baseline, in units of the laid-out font; empty without advances.
std::vector<double> CharacterStarts(const TTextRun& run, double unitsPerLogical, double& width)
{
    std::vector<double> starts;
    width = 0;
    if (run.Advances.size() < std::size_t(run.Text.size()))
        return starts;
    for (qsizetype i = 0; i < run.Text.size(); ++i) {
        starts.push_back(width);
        width += run.Advances[std::size_t(i)] * unitsPerLogical;
    }
    return starts;
}

}  // namespace

bool TMetafileCanvas::WindowFlipped() const
{
    const TState& s = FState;
    const bool scalable = s.MapMode == kMmIsotropic || s.MapMode == kMmAnisotropic;
    return scalable && (s.WindowExt.width() < 0) != (s.WindowExt.height() < 0);
}

// The em in target pixels; text stays upright whatever the mapping's y direction.
double TMetafileCanvas::TextPixels() const
{
    if (FState.Font.Height == 0)
        return 16 * std::sqrt(std::abs(FBase.determinant()));
    return std::abs(FState.Font.Height) * QLineF(FFull.map(QPointF(0, 0)), FFull.map(QPointF(0, 1))).length();
}

std::optional<TMetafileCanvas::TTextLayout> TMetafileCanvas::LayoutText(const TTextRun& run, QPointF reference) const
{
    const QPointF origin = FFull.map(reference);
    const double em = std::min(TextPixels(), kMaxTextPixels);
    if (!std::isfinite(em) || em < 0.5 || !std::isfinite(origin.x()) || !std::isfinite(origin.y()))
        return std::nullopt;
    TTextLayout layout;
    const int baseSize = std::max(1, int(std::lround(em)));
    const QFont font = MakeFont(baseSize);
    const QFontMetricsF metrics(font);
    layout.Scale = em / baseSize;
    if (FState.Font.Height > 0 && metrics.height() > 0)
        layout.Scale *= baseSize / metrics.height();  // a positive height is the cell: ascent plus descent
    layout.UnitX = QLineF(FFull.map(QPointF(0, 0)), FFull.map(QPointF(1, 0))).length();

    const QString text = run.Text.left(GlyphLimit(em));
    layout.Characters = text.size();
    const std::vector<double> starts = CharacterStarts(run, layout.UnitX / layout.Scale, layout.Width);
    if (starts.empty())
        layout.Width = metrics.horizontalAdvance(text);
    if (!std::isfinite(layout.Width))
        return std::nullopt;

    QPointF at(0, metrics.ascent());  // top alignment
    const std::uint32_t horizontal = FState.TextAlign & kTaCenter;
    if (horizontal == kTaCenter)
        at.rx() = -layout.Width / 2;
    else if (horizontal == kTaRight)
        at.rx() = -layout.Width;
    const std::uint32_t vertical = FState.TextAlign & kTaBaseline;
    if (vertical == kTaBaseline)
        at.ry() = 0;
    else if (vertical == kTaBottom)
        at.ry() = -metrics.descent();
    layout.Box = QRectF(at.x(), at.y() - metrics.ascent(), layout.Width, metrics.height());

    const double worldAngle = qRadiansToDegrees(std::atan2(FState.World.m12(), FState.World.m11()));
    // The escapement turns counter-clockwise in the window's own sense: a window whose axes point different ways
    // (y up, as plots write) turns it the other way on the page.
    const double escapement = FState.Font.Escapement / 10.0;
    layout.Frame.translate(origin.x(), origin.y());
    layout.Frame.rotate(worldAngle + (WindowFlipped() ? escapement : -escapement));
    layout.Frame.scale(layout.Scale, layout.Scale);

    if (starts.empty()) {
        layout.Glyphs.addText(at, font, text);
        return layout;
    }
    // The metafile placed every character itself; keep its layout rather than our font's. A character without
    // an advance of its own belongs to the one before (a ligature's later letters, a combining mark): they are
    // drawn together, as the writer's font joined them. Characters far off the picture cost time and draw nothing.
    const QRectF visible = layout.Frame.inverted().mapRect(QRectF(FTarget.rect())).adjusted(-baseSize, 0, baseSize, 0);
    for (qsizetype i = 0, end = 1; i < text.size(); i = end, end = i + 1) {
        while (end < text.size() && run.Advances[std::size_t(end)] == 0)
            ++end;
        const double x = at.x() + starts[std::size_t(i)];
        if (x >= visible.left() && x <= visible.right())
            layout.Glyphs.addText(QPointF(x, at.y()), font, text.mid(i, end - i));
    }
    return layout;
}

void TMetafileCanvas::PaintText(const TTextLayout& layout, const TTextRun& run)
{
    const bool clipped = run.Rect && (run.Options & kEtoClipped);
    if (clipped) {
        FPainter.save();
        BeginPaint(QTransform());
        FPainter.setClipPath(TargetRect(*run.Rect), Qt::IntersectClip);
    }
    Charge(layout.Frame.mapRect(layout.Glyphs.controlPointRect().united(layout.Box)));
    BeginPaint(layout.Frame);
    if (FState.BkOpaque)
        FPainter.fillRect(layout.Box, FState.BkColor);
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.fillPath(layout.Glyphs, FState.TextColor);
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FDrew = true;
    if (clipped) {
        FPainter.restore();
        FClipDirty = true;
    }
}

void TMetafileCanvas::TextOut(const TTextRun& run)
{
    if (run.Rect && (run.Options & kEtoOpaque) && !FInPath)
        Fill(TargetRect(*run.Rect), FState.BkColor);
    if (run.Text.isEmpty())
        return;
    const bool updateCp = FState.TextAlign & kTaUpdateCp;
    const QPointF reference = updateCp ? FState.Position : run.Reference;
    const std::optional<TTextLayout> layout = LayoutText(run, reference);
    if (!layout)
        return;
    FGlyphs += layout->Characters;
    if (FInPath)
        FPath.addPath(layout->Frame.map(layout->Glyphs));
    else
        PaintText(*layout, run);
    if (updateCp && layout->UnitX > 0)
        FState.Position = reference + QPointF(layout->Width * layout->Scale / layout->UnitX, 0);
}
