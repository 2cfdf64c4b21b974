#include "formats/emfplus_player.h"
#include "formats/metafile_canvas.h"
#include "formats/metafile_dib.h"
#include "formats/metafile_player.h"
#include "formats/metafile_record.h"

#include <uemf.h>
#include <uemf_safe.h>

#include <cmath>
#include <optional>

namespace {

constexpr std::uint32_t kEmfSignature = U_ENHMETA_SIGNATURE;
constexpr qsizetype kMinHeaderSize = 88;   // the header before the fields later Windows versions added
constexpr qsizetype kMicrometersEnd = 108; // header size that carries szlMicrometers
constexpr double kPixelsPerInch = 96;
constexpr double kHundredthsPerInch = 2540;

struct TEmfHeader {
    QRectF Frame;         // hundredths of a millimetre
    QSizeF PixelsPerMm;   // of the reference device
    std::uint32_t Handles = 0;
};

std::optional<TEmfHeader> ReadHeader(const QByteArray& bytes)
{
    if (bytes.size() < kMinHeaderSize)
        return std::nullopt;
    const TRecordView r(bytes.constData(), bytes.size());
    const std::uint32_t size = r.U32(4);
    if (r.U32(0) != U_EMR_HEADER || size < kMinHeaderSize || size > std::uint32_t(bytes.size()) || size % 4 ||
        r.U32(40) != kEmfSignature)
        return std::nullopt;
    const TRecordView header(bytes.constData(), size);
    if (!U_emf_record_safe(header.Data()))
        return std::nullopt;
    TEmfHeader h;
    h.Frame = QRectF(header.PointL(24), header.PointL(32));
    h.Handles = header.U16(56);
    double deviceW = header.I32(72), deviceH = header.I32(76);
    double mmW = header.I32(80), mmH = header.I32(84);
    // The later fields are there only where the description and the pixel format do not start: writers put
    // the description right after the short header, and its text then reads as nonsense sizes.
    std::uint32_t end = size;
    if (header.U32(64) > 0 && header.U32(68) >= kMinHeaderSize)
        end = std::min(end, header.U32(68));
    if (end >= 100 && header.U32(88) > 0 && header.U32(92) >= kMinHeaderSize)
        end = std::min(end, header.U32(92));
    // Micrometres refine the millimetres; sizes that disagree with them are not trusted.
    const double umW = header.I32(100) / 1000.0, umH = header.I32(104) / 1000.0;
    if (end >= kMicrometersEnd && umW > 0 && umH > 0 && std::abs(umW - mmW) <= 1 && std::abs(umH - mmH) <= 1) {
        mmW = umW;
        mmH = umH;
    }
    if (deviceW > 0 && deviceH > 0 && mmW > 0 && mmH > 0)
        h.PixelsPerMm = QSizeF(deviceW / mmW, deviceH / mmH);
    else
        h.PixelsPerMm = QSizeF(kPixelsPerInch / 25.4, kPixelsPerInch / 25.4);
    return h;
}

// Device pixels of the reference device onto the picture: the frame fills it.
QTransform DeviceToTarget(const TEmfHeader& h, QSize target)
{
    const double left = h.Frame.left() / 100 * h.PixelsPerMm.width();
    const double top = h.Frame.top() / 100 * h.PixelsPerMm.height();
    const double width = h.Frame.width() / 100 * h.PixelsPerMm.width();
    const double height = h.Frame.height() / 100 * h.PixelsPerMm.height();
    const double sx = width > 0 ? target.width() / width : 1;
    const double sy = height > 0 ? target.height() / height : 1;
    return QTransform(sx, 0, 0, sy, -left * sx, -top * sy);
}

// ---- decoding helpers ----------------------------------------------------------------------------------------

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

std::vector<QRectF> RegionRects(const TRecordView& r, std::uint64_t at, std::uint64_t dataSize)
{
    constexpr std::uint64_t kHeader = 32;
    const std::uint64_t count = r.U32(at + 8);
    if (dataSize < kHeader || !r.Fits(at, dataSize, 1) || count > (dataSize - kHeader) / 16)
        return {};
    std::vector<QRectF> rects;
    rects.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i)
        rects.push_back(r.RectL(at + kHeader + 16 * i));
    return rects;
}

std::vector<QRgb> PaletteEntries(const TRecordView& r, std::uint64_t at, std::uint64_t count)
{
    std::vector<QRgb> entries;
    if (!r.Fits(at, count, 4))
        return entries;
    for (std::uint64_t i = 0; i < count; ++i)
        entries.push_back(qRgb(r.U8(at + 4 * i), r.U8(at + 4 * i + 1), r.U8(at + 4 * i + 2)));
    return entries;
}

// A metafile carried inside a comment record: the Windows metafile an enhanced one was converted from, or the
// enhanced-metafile form among several formats. Empty when the comment carries none.
struct TNestedMetafile {
    QByteArray Bytes;
    bool Enhanced = false;
};

TNestedMetafile NestedMetafile(const TRecordView& r)
{
    constexpr std::uint32_t kPublic = 0x43494447;  // "GDIC"
    constexpr std::uint32_t kWindowsMetafile = 0x80000001, kMultiFormats = 0x40000004;
    constexpr std::uint64_t kIdentifier = 12;     // offsets in the comment count from here
    if (r.U32(kIdentifier) != kPublic)
        return {};
    const std::uint32_t kind = r.U32(kIdentifier + 4);
    if (kind == kWindowsMetafile) {
        constexpr std::uint64_t kWmfAt = kIdentifier + 24;
        return {r.Bytes(kWmfAt, r.U32(kWmfAt - 4)).toByteArray(), false};
    }
    if (kind != kMultiFormats)
        return {};
    const std::uint64_t count = r.U32(kIdentifier + 24), formatsAt = kIdentifier + 28;
    if (!r.Fits(formatsAt, count, 16))
        return {};
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = formatsAt + 16 * i;
        if (r.U32(at) != kEmfSignature)
            continue;
        const QByteArrayView data = r.Bytes(kIdentifier + std::uint64_t(r.U32(at + 12)), r.U32(at + 8));
        if (!data.isEmpty())
            return {data.toByteArray(), true};
    }
    return {};
}

class TEmfPlayer {
public:
    TEmfPlayer(QImage& target, const TEmfHeader& header)
        : FCanvas(target, DeviceToTarget(header, target.size()), header.PixelsPerMm, false)
    {
        FCanvas.ResizeObjectTable(header.Handles);
    }

    void Play(const QByteArray& bytes)
    {
        const auto total = std::uint64_t(bytes.size());
        std::uint64_t offset = 0;
        while (offset + 8 <= total) {
            const TRecordView head(bytes.constData() + offset, qsizetype(total - offset));
            const std::uint32_t type = head.U32(0), size = head.U32(4);
            if (size < 8 || size % 4 || size > total - offset)
                return;
            const TRecordView record(head.Data(), qsizetype(size));
            if (type == U_EMR_EOF)
                return;
            if (type != U_EMR_HEADER) {
                ++FRecords;
                if (Safe(type, record))
                    Dispatch(type, record);
            }
            if (FCanvas.Exhausted())
                return;
            offset += size;
        }
    }

    bool Drew() const { return FCanvas.Drew(); }
    bool Empty() const { return FRecords == 0; }
    const TNestedMetafile& Nested() const { return FNested; }

    TPlayback Result() const
    {
        return {FCanvas.Work(), FCanvas.WorkBudget(), FCanvas.Exhausted(), FCanvas.Glyphs(), FCanvas.LargestClip()};
    }

private:
    // libUEMF checks the offsets and counts inside the record; it relies on the record being at least as
    // long as its fixed part, which we check first.
    static bool Safe(std::uint32_t type, const TRecordView& r)
    {
        if (type < 1 || type > U_EMR_MAX)
            return false;
        // Records that read nothing but their type draw from state alone. Writers that leave out the bounds
        // of the path-drawing ones (which no player reads) still mean them.
        switch (type) {
        case U_EMR_SAVEDC: case U_EMR_REALIZEPALETTE: case U_EMR_BEGINPATH: case U_EMR_ENDPATH:
        case U_EMR_CLOSEFIGURE: case U_EMR_FLATTENPATH: case U_EMR_WIDENPATH: case U_EMR_ABORTPATH:
        case U_EMR_FILLPATH: case U_EMR_STROKEPATH: case U_EMR_STROKEANDFILLPATH:
            return true;
        default: break;
        }
        if (r.Size() < 12)
            return false;
        return U_emf_record_safe(r.Data()) != 0;
    }

    void Dispatch(std::uint32_t type, const TRecordView& r);
    void Poly(std::uint32_t type, const TRecordView& r, bool wide);
    void PolyPoly(std::uint32_t type, const TRecordView& r, bool wide);
    void PolyDraw(const TRecordView& r, bool wide);
    void CreateFont(const TRecordView& r);
    void ExtCreatePen(const TRecordView& r);
    void DibBrush(const TRecordView& r);
    void Text(const TRecordView& r, bool wide);
    void StretchDibits(const TRecordView& r);
    void SetDibitsToDevice(const TRecordView& r);
    void Blt(const TRecordView& r, bool stretch, bool alpha, bool keyed = false);
    void GradientFill(const TRecordView& r);
    void GradientTriangle(const QPointF (&p)[3], const QColor (&c)[3], int depth);
    int FTriangleDepth = 0;
    QImage Dib(const TRecordView& r, std::uint64_t offBmi, std::uint64_t cbBmi, std::uint64_t offBits,
               std::uint64_t cbBits, std::uint32_t usage) const;

    TMetafileCanvas FCanvas;
    std::uint64_t FRecords = 0;
    TNestedMetafile FNested;
};

QImage TEmfPlayer::Dib(const TRecordView& r, std::uint64_t offBmi, std::uint64_t cbBmi, std::uint64_t offBits,
                       std::uint64_t cbBits, std::uint32_t usage) const
{
    const QByteArrayView info = r.Bytes(offBmi, cbBmi);
    const QByteArrayView bits = r.Bytes(offBits, cbBits);
    if (info.isEmpty() || bits.isEmpty())
        return {};
    return DecodeMetafileDib(info, bits, FCanvas.Palette(), usage == U_DIB_PAL_COLORS);
}

void TEmfPlayer::Dispatch(std::uint32_t type, const TRecordView& r)
{
    TMetafileCanvas& c = FCanvas;
    switch (type) {
    case U_EMR_POLYBEZIER: case U_EMR_POLYGON: case U_EMR_POLYLINE: case U_EMR_POLYBEZIERTO: case U_EMR_POLYLINETO:
        Poly(type, r, true);
        break;
    case U_EMR_POLYBEZIER16: case U_EMR_POLYGON16: case U_EMR_POLYLINE16: case U_EMR_POLYBEZIERTO16:
    case U_EMR_POLYLINETO16:
        Poly(type, r, false);
        break;
    case U_EMR_POLYDRAW: PolyDraw(r, true); break;
    case U_EMR_POLYDRAW16: PolyDraw(r, false); break;
    case U_EMR_POLYPOLYLINE: case U_EMR_POLYPOLYGON: PolyPoly(type, r, true); break;
    case U_EMR_POLYPOLYLINE16: case U_EMR_POLYPOLYGON16: PolyPoly(type, r, false); break;
    case U_EMR_SETWINDOWEXTEX: c.SetWindowExt(QSizeF(r.I32(8), r.I32(12))); break;
    case U_EMR_SETWINDOWORGEX: c.SetWindowOrg(r.PointL(8)); break;
    case U_EMR_SETVIEWPORTEXTEX: c.SetViewportExt(QSizeF(r.I32(8), r.I32(12))); break;
    case U_EMR_SETVIEWPORTORGEX: c.SetViewportOrg(r.PointL(8)); break;
    case U_EMR_SETPIXELV: c.SetPixel(r.PointL(8), c.ColorOf(r.U32(16))); break;
    case U_EMR_SETMAPMODE: c.SetMapMode(int(r.U32(8))); break;
    case U_EMR_SETBKMODE: c.SetBkMode(int(r.U32(8))); break;
    case U_EMR_SETPOLYFILLMODE: c.SetPolyFillMode(int(r.U32(8))); break;
    case U_EMR_SETTEXTALIGN: c.SetTextAlign(r.U32(8)); break;
    case U_EMR_SETSTRETCHBLTMODE: c.SetStretchBltMode(int(r.U32(8))); break;
    case U_EMR_SETTEXTCOLOR: c.SetTextColor(c.ColorOf(r.U32(8))); break;
    case U_EMR_SETBKCOLOR: c.SetBkColor(c.ColorOf(r.U32(8))); break;
    case U_EMR_OFFSETCLIPRGN: c.OffsetClip(r.PointL(8)); break;
    case U_EMR_MOVETOEX: c.MoveTo(r.PointL(8)); break;
    case U_EMR_EXCLUDECLIPRECT: c.ExcludeClipRect(r.RectL(8)); break;
    case U_EMR_INTERSECTCLIPRECT: c.IntersectClipRect(r.RectL(8)); break;
    case U_EMR_SCALEVIEWPORTEXTEX: c.ScaleViewportExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20)); break;
    case U_EMR_SCALEWINDOWEXTEX: c.ScaleWindowExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20)); break;
    case U_EMR_SAVEDC: c.SaveDC(); break;
    case U_EMR_RESTOREDC: c.RestoreDC(r.I32(8)); break;
    case U_EMR_SETWORLDTRANSFORM:
        c.SetWorldTransform(QTransform(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28)));
        break;
    case U_EMR_MODIFYWORLDTRANSFORM:
        c.ModifyWorldTransform(QTransform(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28)),
                               int(r.U32(32)));
        break;
    case U_EMR_SELECTOBJECT: c.SelectObject(r.U32(8)); break;
    case U_EMR_DELETEOBJECT: c.DeleteObject(r.U32(8)); break;
    case U_EMR_CREATEPEN: c.CreateObjectAt(r.U32(8), MakeGdiPen(r.U32(12), r.I32(16), c.ColorOf(r.U32(24)))); break;
    case U_EMR_CREATEBRUSHINDIRECT:
        c.CreateObjectAt(r.U32(8), LogBrush(r.U32(12), c.ColorOf(r.U32(16)), r.U32(20)));
        break;
    case U_EMR_EXTCREATEPEN: ExtCreatePen(r); break;
    case U_EMR_CREATEMONOBRUSH: case U_EMR_CREATEDIBPATTERNBRUSHPT: DibBrush(r); break;
    case U_EMR_EXTCREATEFONTINDIRECTW: CreateFont(r); break;
    case U_EMR_CREATEPALETTE: c.CreateObjectAt(r.U32(8), TGdiPalette{PaletteEntries(r, 16, r.U16(14))}); break;
    case U_EMR_SELECTPALETTE: c.SelectPalette(r.U32(8)); break;
    case U_EMR_SETPALETTEENTRIES: c.SetPaletteEntries(r.U32(8), r.U32(12), PaletteEntries(r, 20, r.U32(16))); break;
    case U_EMR_WIDENPATH: c.WidenPath(); break;
    case U_EMR_COMMENT:
        if (FNested.Bytes.isEmpty())
            FNested = NestedMetafile(r);
        break;
    case U_EMR_ANGLEARC: c.AngleArc(r.PointL(8), r.U32(16), r.F32(20), r.F32(24)); break;
    case U_EMR_ELLIPSE: c.Ellipse(r.RectL(8)); break;
    case U_EMR_RECTANGLE: c.Rectangle(r.RectL(8)); break;
    case U_EMR_ROUNDRECT: c.RoundRect(r.RectL(8), QSizeF(r.I32(24), r.I32(28))); break;
    case U_EMR_ARC: c.Arc(TMetafileCanvas::TArcKind::Arc, r.RectL(8), r.PointL(24), r.PointL(32)); break;
    case U_EMR_CHORD: c.Arc(TMetafileCanvas::TArcKind::Chord, r.RectL(8), r.PointL(24), r.PointL(32)); break;
    case U_EMR_PIE: c.Arc(TMetafileCanvas::TArcKind::Pie, r.RectL(8), r.PointL(24), r.PointL(32)); break;
    case U_EMR_ARCTO: c.Arc(TMetafileCanvas::TArcKind::ArcTo, r.RectL(8), r.PointL(24), r.PointL(32)); break;
    case U_EMR_LINETO: c.LineTo(r.PointL(8)); break;
    case U_EMR_SETARCDIRECTION: c.SetArcDirection(int(r.U32(8))); break;
    case U_EMR_SETMITERLIMIT: c.SetMiterLimit(r.U32(8)); break;
    case U_EMR_BEGINPATH: c.BeginPath(); break;
    case U_EMR_ENDPATH: c.EndPath(); break;
    case U_EMR_CLOSEFIGURE: c.CloseFigure(); break;
    case U_EMR_FILLPATH: c.FillPath(); break;
    case U_EMR_STROKEANDFILLPATH: c.StrokeAndFillPath(); break;
    case U_EMR_STROKEPATH: c.StrokePath(); break;
    case U_EMR_SELECTCLIPPATH: c.SelectClipPath(int(r.U32(8))); break;
    case U_EMR_ABORTPATH: c.AbortPath(); break;
    case U_EMR_FILLRGN: {
        const QBrush brush = c.BrushAt(r.U32(28));
        c.FillRects(RegionRects(r, 32, r.U32(24)), &brush);
        break;
    }
    case U_EMR_PAINTRGN: c.FillRects(RegionRects(r, 28, r.U32(24)), nullptr); break;
    case U_EMR_EXTSELECTCLIPRGN: c.SelectClipRegion(RegionRects(r, 16, r.U32(8)), int(r.U32(12))); break;
    case U_EMR_BITBLT: Blt(r, false, false); break;
    case U_EMR_STRETCHBLT: Blt(r, true, false); break;
    case U_EMR_ALPHABLEND: Blt(r, true, true); break;
    case U_EMR_TRANSPARENTBLT: Blt(r, true, false, true); break;
    case U_EMR_GRADIENTFILL: GradientFill(r); break;
    case U_EMR_SETDIBITSTODEVICE: SetDibitsToDevice(r); break;
    case U_EMR_STRETCHDIBITS: StretchDibits(r); break;
    case U_EMR_EXTTEXTOUTA: Text(r, false); break;
    case U_EMR_EXTTEXTOUTW: Text(r, true); break;
    default: break;  // comments, palettes, colour management and the rest draw nothing here
    }
}

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

}  // namespace

bool EmfNaturalSize(const QByteArray& bytes, QSize& size)
{
    const std::optional<TEmfHeader> header = ReadHeader(bytes);
    if (!header)
        return false;
    const auto pixels = [](double hundredths) {
        const double px = std::round(hundredths * kPixelsPerInch / kHundredthsPerInch);
        return int(std::clamp(px, -1.0, double(INT32_MAX)));
    };
    size = QSize(pixels(header->Frame.width()), pixels(header->Frame.height()));
    return true;
}

namespace {

// Metafiles nest in comments; one level is what writers make, a second is allowed, deeper ones are not drawn.
constexpr int kMaxNesting = 2;

TPlayback PlayEmfAt(const QByteArray& bytes, QImage& target, int depth)
{
    const std::optional<TEmfHeader> header = ReadHeader(bytes);
    if (!header)
        return {};
    TPlayback result;
    TNestedMetafile nested;
    {
        TEmfPlayer player(target, *header);
        player.Play(bytes);
        result = player.Result();
        if (player.Drew() || player.Empty()) {
            result.Outcome = player.Drew() ? TPlayOutcome::Drew : TPlayOutcome::Empty;
            return result;
        }
        nested = player.Nested();
    }
    // Written with EMF+ records only: those are the drawing.
    const TPlayback plus = PlayEmfPlus(bytes, target, DeviceToTarget(*header, target.size()), header->PixelsPerMm,
                                       result.Work);
    if (plus.Outcome == TPlayOutcome::Drew)
        return plus;
    // The carried metafile is the drawing itself (a converted Windows metafile, or one format of several); it
    // fills the frame of the one carrying it.
    if (nested.Bytes.isEmpty() || depth >= kMaxNesting)
        return result;
    TPlayback inner = nested.Enhanced ? PlayEmfAt(nested.Bytes, target, depth + 1) : PlayWmf(nested.Bytes, target);
    if (inner.Outcome != TPlayOutcome::Drew)
        inner.Outcome = TPlayOutcome::DrewNothing;
    return inner;
}

}  // namespace

TPlayback PlayEmf(const QByteArray& bytes, QImage& target)
{
    return PlayEmfAt(bytes, target, 0);
}
