#include "formats/emf_player.h"

#include "formats/emfplus_player.h"

#include <uemf.h>
#include <uemf_safe.h>

#include <cmath>
#include <optional>

namespace {

using emf_detail::TEmfHeader;
using emf_detail::TNestedMetafile;

constexpr std::uint32_t kEmfSignature = U_ENHMETA_SIGNATURE;
constexpr qsizetype kMinHeaderSize = 88;   // the header before the fields later Windows versions added
constexpr qsizetype kMicrometersEnd = 108; // header size that carries szlMicrometers
constexpr double kPixelsPerInch = 96;
constexpr double kHundredthsPerInch = 2540;

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

}  // namespace

namespace emf_detail {

TEmfPlayer::TEmfPlayer(QImage& target, const TEmfHeader& header)
    : FCanvas(target, DeviceToTarget(header, target.size()), header.PixelsPerMm, false)
{
    FCanvas.ResizeObjectTable(header.Handles);
}

void TEmfPlayer::Play(const QByteArray& bytes)
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

bool TEmfPlayer::Safe(std::uint32_t type, const TRecordView& r)
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

}  // namespace emf_detail

using emf_detail::TEmfPlayer;

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
