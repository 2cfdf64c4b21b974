#include "formats/emf_player.h"

#include <uemf.h>

namespace {

QPolygonF Points(const TRecordView& r, std::uint64_t offset, std::uint64_t count, bool wide)
{
    const std::uint64_t item = wide ? 8 : 4;
    if (!r.Fits(offset, count, item))
        return {};
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (std::uint64_t i = 0; i < count; ++i)
        points.append(wide ? r.PointL(offset + i * item) : r.Point16(offset + i * item));
    return points;
}

std::vector<QPolygonF> PolyPoints(const TRecordView& r, bool wide)
{
    const std::uint64_t polys = r.U32(24), total = r.U32(28);
    const std::uint64_t countsAt = 32, pointsAt = countsAt + 4 * polys;
    const std::uint64_t item = wide ? 8 : 4;
    if (!r.Fits(countsAt, polys, 4) || !r.Fits(pointsAt, total, item))
        return {};
    std::vector<QPolygonF> out;
    std::uint64_t next = 0;
    for (std::uint64_t i = 0; i < polys; ++i) {
        const std::uint64_t count = r.U32(countsAt + 4 * i);
        if (count > total - next)
            return {};
        out.push_back(Points(r, pointsAt + next * item, count, wide));
        next += count;
    }
    return out;
}

}  // namespace

namespace emf_detail {

void TEmfPlayer::Poly(std::uint32_t type, const TRecordView& r, bool wide)
{
    const QPolygonF points = Points(r, 28, r.U32(24), wide);
    switch (type) {
    case U_EMR_POLYBEZIER: case U_EMR_POLYBEZIER16: FCanvas.PolyBezier(points); break;
    case U_EMR_POLYGON: case U_EMR_POLYGON16: FCanvas.Polygon(points); break;
    case U_EMR_POLYLINE: case U_EMR_POLYLINE16: FCanvas.Polyline(points); break;
    case U_EMR_POLYBEZIERTO: case U_EMR_POLYBEZIERTO16: FCanvas.PolyBezierTo(points); break;
    default: FCanvas.PolylineTo(points); break;
    }
}

void TEmfPlayer::PolyPoly(std::uint32_t type, const TRecordView& r, bool wide)
{
    const std::vector<QPolygonF> polys = PolyPoints(r, wide);
    if (type == U_EMR_POLYPOLYGON || type == U_EMR_POLYPOLYGON16)
        FCanvas.PolyPolygon(polys);
    else
        FCanvas.PolyPolyline(polys);
}

void TEmfPlayer::PolyDraw(const TRecordView& r, bool wide)
{
    const std::uint64_t count = r.U32(24);
    const QPolygonF points = Points(r, 28, count, wide);
    if (std::uint64_t(points.size()) != count)
        return;
    FCanvas.PolyDraw(points, r.Bytes(28 + count * (wide ? 8 : 4), count));
}

void TEmfPlayer::CreateFont(const TRecordView& r)
{
    constexpr std::uint64_t kLogFont = 12, kFace = kLogFont + 28, kFaceChars = 32;
    TGdiFont font;
    font.Height = r.I32(kLogFont);
    font.Escapement = r.I32(kLogFont + 8);
    font.Weight = r.I32(kLogFont + 16);
    font.Italic = r.U8(kLogFont + 20);
    font.Underline = r.U8(kLogFont + 21);
    font.StrikeOut = r.U8(kLogFont + 22);
    for (std::uint64_t i = 0; i < kFaceChars; ++i) {
        const char16_t ch = r.U16(kFace + 2 * i);
        if (ch == 0)
            break;
        font.Face.append(QChar(ch));
    }
    FCanvas.CreateObjectAt(r.U32(8), font);
}

void TEmfPlayer::ExtCreatePen(const TRecordView& r)
{
    const std::uint32_t style = r.U32(28);
    const bool geometric = style & 0x10000;
    const double width = geometric ? double(r.U32(32)) : 0.0;
    FCanvas.CreateObjectAt(r.U32(8), MakeGdiPen(style, width, FCanvas.ColorOf(r.U32(40))));
}

void TEmfPlayer::DibBrush(const TRecordView& r)
{
    FCanvas.CreateObjectAt(r.U32(8), PatternBrush(Dib(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28), r.U32(12))));
}

void TEmfPlayer::Text(const TRecordView& r, bool wide)
{
    constexpr std::uint64_t kText = 36;
    const std::uint64_t chars = r.U32(kText + 8), offString = r.U32(kText + 12);
    TTextRun run;
    run.Reference = r.PointL(kText);
    run.Options = r.U32(kText + 16);
    std::uint64_t offDxAt = kText + 20;
    if (!(run.Options & U_ETO_NO_RECT)) {
        run.Rect = r.RectL(kText + 20);
        offDxAt += 16;
    }
    if (!r.Fits(offString, chars, wide ? 2 : 1))
        return;
    for (std::uint64_t i = 0; i < chars; ++i)
        run.Text.append(wide ? QChar(char16_t(r.U16(offString + 2 * i))) : QChar(char16_t(r.U8(offString + i))));
    const std::uint64_t offDx = r.U32(offDxAt);
    if (offDx != 0 && r.Fits(offDx, chars, 4)) {
        // With ETO_PDY the array holds x and y pairs; we follow the x part.
        const bool pairs = run.Options & U_ETO_PDY;
        if (!pairs || r.Fits(offDx, chars, 8))
            for (std::uint64_t i = 0; i < chars; ++i)
                run.Advances.push_back(r.I32(offDx + (pairs ? 8 : 4) * i));
    }
    FCanvas.TextOut(run);
}

}  // namespace emf_detail
