#include "formats/metafile_canvas.h"
#include "formats/metafile_dib.h"
#include "formats/metafile_player.h"
#include "formats/metafile_record.h"

#include <uwmf.h>

#include <cmath>
#include <optional>

namespace {

constexpr double kPixelsPerInch = 96;
constexpr int kDefaultUnitsPerInch = 1440;  // what a placeable header with no value means
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr qsizetype kHeaderProbe = 128;  // more than the placeable and standard headers together
constexpr std::uint16_t kEtoOpaque = 2, kEtoClipped = 4;

// Record functions: the low byte is the record type, the high byte the parameter words of the fixed part.
enum TWmfFunction : std::uint16_t {
    kEof = 0x0000, kSetBkColor = 0x0201, kSetBkMode = 0x0102, kSetMapMode = 0x0103, kSetPolyFillMode = 0x0106, kSetStretchBltMode = 0x0107,
    kSetTextColor = 0x0209, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kOffsetWindowOrg = 0x020F,
    kScaleWindowExt = 0x0410, kLineTo = 0x0213, kMoveTo = 0x0214, kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416, kArc = 0x0817, kEllipse = 0x0418, kPie = 0x081A, kRectangle = 0x041B,
    kRoundRect = 0x061C, kPatBlt = 0x061D, kSaveDc = 0x001E, kSetPixel = 0x041F, kOffsetClipRgn = 0x0220,
    kTextOut = 0x0521, kPolygon = 0x0324, kPolyline = 0x0325, kRestoreDc = 0x0127, kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D, kSetTextAlign = 0x012E, kChord = 0x0830, kExtTextOut = 0x0A32,
    kPolyPolygon = 0x0538, kDibBitBlt = 0x0940, kDibStretchBlt = 0x0B41, kDibCreatePatternBrush = 0x0142,
    kStretchDib = 0x0F43, kSetDibToDev = 0x0D33, kDeleteObject = 0x01F0, kCreatePalette = 0x00F7,
    kCreatePatternBrush = 0x01F9, kCreatePenIndirect = 0x02FA, kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC, kCreateRegion = 0x06FF, kSelectPalette = 0x0234,
};
constexpr std::uint16_t kDibPalColors = 1;

struct TWmfHeader {
    qsizetype Size = 0;  // bytes of the placeable and standard headers
    bool Placeable = false;
    QRectF Bounds;       // placeable bounding box, logical units
    int UnitsPerInch = kDefaultUnitsPerInch;
    std::uint16_t Objects = 0;
};

std::optional<TWmfHeader> ReadHeader(const QByteArray& bytes)
{
    if (bytes.size() < qsizetype(sizeof(U_WMRHEADER)))
        return std::nullopt;
    U_WMRPLACEABLE placeable{};
    U_WMRHEADER header{};
    // libUEMF asks for more bytes than the two headers take, so a placeable file holding only its end
    // record would be refused; it reads the headers from a zero-padded copy, and we check the real length.
    QByteArray start = bytes.left(kHeaderProbe);
    start.append(kHeaderProbe - start.size(), '\0');
    const int size = wmfheader_get(start.constData(), start.constData() + start.size(), &placeable, &header);
    if (size <= 0 || size > bytes.size())
        return std::nullopt;
    TWmfHeader h;
    h.Size = size;
    h.Objects = header.nObjects;
    h.Placeable = placeable.Key == 0x9AC6CDD7u;
    if (h.Placeable) {
        h.Bounds = QRectF(QPointF(placeable.Dst.left, placeable.Dst.top),
                          QPointF(placeable.Dst.right, placeable.Dst.bottom));
        if (placeable.Inch != 0)
            h.UnitsPerInch = placeable.Inch;
    }
    return h;
}

// Walks the records after the header; visit returns false to stop. Each record is validated by libUEMF first.
template <class Visit>
void ForEachRecord(const QByteArray& bytes, qsizetype from, Visit visit)
{
    const char* const limit = bytes.constData() + bytes.size();
    qsizetype offset = from;
    while (bytes.size() - offset >= 6) {
        const char* at = bytes.constData() + offset;
        const std::size_t size = U_WMRRECSAFE_get(at, limit);
        if (size < 6 || size > std::size_t(bytes.size() - offset))
            return;
        const TRecordView record(at, qsizetype(size));
        const std::uint16_t function = record.U16(4);
        if (function == kEof || !visit(function, record))
            return;
        offset += qsizetype(size);
    }
}

std::optional<QSizeF> FirstWindowExtent(const QByteArray& bytes, qsizetype from)
{
    std::optional<QSizeF> extent;
    ForEachRecord(bytes, from, [&](std::uint16_t function, const TRecordView& r) {
        if (function != kSetWindowExt)
            return true;
        extent = QSizeF(r.I16(8), r.I16(6));
        return false;
    });
    return extent;
}

// The old pattern brush: a device bitmap header, reserved bytes, then rows from the top. Monochrome patterns (the
// dithered greys of old drawings) draw their clear bits in the text colour and set ones in the background
// colour; other depths are device colours we cannot know, so they stay null (drawn black, as before).
QImage MonoPattern(const TRecordView& r, QColor text, QColor background)
{
    constexpr std::uint64_t kBits = 6 + 14 + 18;
    const int width = r.I16(8), height = r.I16(10), rowBytes = r.I16(12);
    if (r.U8(15) != 1 || r.U8(14) != 1 || width <= 0 || height <= 0 || width > 64 || height > 64 ||
        rowBytes * 8 < width || !r.Fits(kBits, std::uint64_t(rowBytes) * height, 1))
        return {};
    QImage pattern(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool set = r.U8(kBits + std::uint64_t(y) * rowBytes + x / 8) & (0x80 >> (x % 8));
            pattern.setPixelColor(x, y, set ? background : text);
        }
    return pattern;
}

// A palette record's entries: start word, count word, then red, green, blue and flags bytes.
std::vector<QRgb> PaletteEntries(const TRecordView& r)
{
    constexpr std::uint64_t kEntries = 10;
    const std::uint64_t count = r.U16(8);
    std::vector<QRgb> entries;
    if (!r.Fits(kEntries, count, 4))
        return entries;
    for (std::uint64_t i = 0; i < count; ++i)
        entries.push_back(qRgb(r.U8(kEntries + 4 * i), r.U8(kEntries + 4 * i + 1), r.U8(kEntries + 4 * i + 2)));
    return entries;
}

int ToPixels(double units, int unitsPerInch)
{
    return int(std::lround(std::abs(units) * kPixelsPerInch / unitsPerInch));
}

class TWmfPlayer {
public:
    TWmfPlayer(QImage& target, const TWmfHeader& header, QSizeF initialWindow)
        : FCanvas(target, QTransform(), QSizeF(kPixelsPerInch / 25.4, kPixelsPerInch / 25.4), true)
    {
        FCanvas.ResizeObjectTable(header.Objects);
        FCanvas.SetWindowOrg(header.Placeable ? header.Bounds.topLeft() : QPointF(0, 0));
        FCanvas.SetWindowExt(initialWindow);
    }

    TPlayOutcome Play(const QByteArray& bytes, qsizetype from)
    {
        bool any = false;
        ForEachRecord(bytes, from, [&](std::uint16_t function, const TRecordView& r) {
            any = true;
            Dispatch(function, r);
            return !FCanvas.Exhausted();
        });
        if (FCanvas.Drew())
            return TPlayOutcome::Drew;
        return any ? TPlayOutcome::DrewNothing : TPlayOutcome::Empty;
    }

    TPlayback Result() const
    {
        return {FCanvas.Work(), FCanvas.WorkBudget(), FCanvas.Exhausted(), FCanvas.Glyphs(), FCanvas.LargestClip()};
    }

private:
    // Parameters are 16-bit words after the 6-byte record head; WMF stores them last-first.
    static double P(const TRecordView& r, int i) { return r.I16(6 + 2 * std::uint64_t(i)); }
    static QPointF YX(const TRecordView& r, int i) { return QPointF(P(r, i + 1), P(r, i)); }
    // bottom, right, top, left from word i on.
    static QRectF Box(const TRecordView& r, int i) { return QRectF(QPointF(P(r, i + 3), P(r, i + 2)), QPointF(P(r, i + 1), P(r, i))); }

    void Dispatch(std::uint16_t function, const TRecordView& r);
    void Poly(std::uint16_t function, const TRecordView& r);
    void PolyPolygon(const TRecordView& r);
    void CreateFont(const TRecordView& r);
    void TextOut(const TRecordView& r);
    void ExtTextOut(const TRecordView& r);
    void Dib(std::uint16_t function, const TRecordView& r);

    TMetafileCanvas FCanvas;
};

void TWmfPlayer::Dispatch(std::uint16_t function, const TRecordView& r)
{
    TMetafileCanvas& c = FCanvas;
    using Kind = TMetafileCanvas::TArcKind;
    switch (function) {
    case kSetBkColor: c.SetBkColor(c.ColorOf(r.U32(6))); break;
    case kSetBkMode: c.SetBkMode(r.U16(6)); break;
    case kSetMapMode: c.SetMapMode(r.U16(6)); break;
    case kSetPolyFillMode: c.SetPolyFillMode(r.U16(6)); break;
    case kSetTextColor: c.SetTextColor(c.ColorOf(r.U32(6))); break;
    case kSetTextAlign: c.SetTextAlign(r.U16(6)); break;
    case kSetStretchBltMode: c.SetStretchBltMode(r.U16(6)); break;
    case kSetWindowOrg: c.SetWindowOrg(YX(r, 0)); break;
    case kSetWindowExt: c.SetWindowExt(QSizeF(P(r, 1), P(r, 0))); break;
    case kOffsetWindowOrg: c.OffsetWindowOrg(YX(r, 0)); break;
    case kScaleWindowExt: c.ScaleWindowExt(P(r, 3), P(r, 2), P(r, 1), P(r, 0)); break;
    case kLineTo: c.LineTo(YX(r, 0)); break;
    case kMoveTo: c.MoveTo(YX(r, 0)); break;
    case kExcludeClipRect: c.ExcludeClipRect(Box(r, 0)); break;
    case kIntersectClipRect: c.IntersectClipRect(Box(r, 0)); break;
    case kArc: c.Arc(Kind::Arc, Box(r, 4), YX(r, 2), YX(r, 0)); break;
    case kPie: c.Arc(Kind::Pie, Box(r, 4), YX(r, 2), YX(r, 0)); break;
    case kChord: c.Arc(Kind::Chord, Box(r, 4), YX(r, 2), YX(r, 0)); break;
    case kEllipse: c.Ellipse(Box(r, 0)); break;
    case kRectangle: c.Rectangle(Box(r, 0)); break;
    case kRoundRect: c.RoundRect(Box(r, 2), QSizeF(P(r, 1), P(r, 0))); break;
    case kPatBlt: c.PatBlt(QRectF(YX(r, 4), QSizeF(P(r, 3), P(r, 2))), r.U32(6)); break;
    case kSaveDc: c.SaveDC(); break;
    case kRestoreDc: c.RestoreDC(int(P(r, 0))); break;
    case kSetPixel: c.SetPixel(YX(r, 2), c.ColorOf(r.U32(6))); break;
    case kOffsetClipRgn: c.OffsetClip(YX(r, 0)); break;
    case kSelectClipRegion:
        // Only the reset to no clipping is kept: we hold no region data for the others.
        if (r.U16(6) == 0)
            c.SelectClipRegion({}, kRgnCopy);
        break;
    case kSelectObject: c.SelectObject(r.U16(6)); break;
    case kDeleteObject: c.DeleteObject(r.U16(6)); break;
    case kCreatePenIndirect: c.CreateObject(MakeGdiPen(r.U16(6), r.I16(8), c.ColorOf(r.U32(12)))); break;
    case kCreateBrushIndirect: c.CreateObject(LogBrush(r.U16(6), c.ColorOf(r.U32(8)), r.U16(12))); break;
    case kCreateFontIndirect: CreateFont(r); break;
    case kDibCreatePatternBrush:
        c.CreateObject(PatternBrush(DecodePackedDib(r.Bytes(10, std::uint64_t(r.Size()) - 10), c.Palette(),
                                                    r.U16(8) == kDibPalColors)));
        break;
    case kCreatePatternBrush: c.CreateObject(PatternBrush(MonoPattern(r, c.TextColor(), c.BkColor()))); break;
    case kCreatePalette: c.CreateObject(TGdiPalette{PaletteEntries(r)}); break;
    case kSelectPalette: c.SelectPalette(r.U16(6)); break;
    case kCreateRegion: c.CreateObject(TGdiOther{}); break;
    case kPolygon: case kPolyline: Poly(function, r); break;
    case kPolyPolygon: PolyPolygon(r); break;
    case kTextOut: TextOut(r); break;
    case kExtTextOut: ExtTextOut(r); break;
    case kDibBitBlt: case kDibStretchBlt: case kStretchDib: case kSetDibToDev: Dib(function, r); break;
    default: break;  // escapes, palettes and the rest draw nothing here
    }
}

QPolygonF Points16(const TRecordView& r, std::uint64_t offset, std::uint64_t count)
{
    if (!r.Fits(offset, count, 4))
        return {};
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (std::uint64_t i = 0; i < count; ++i)
        points.append(r.Point16(offset + 4 * i));
    return points;
}

void TWmfPlayer::Poly(std::uint16_t function, const TRecordView& r)
{
    const QPolygonF points = Points16(r, 8, r.U16(6));
    if (function == kPolygon)
        FCanvas.Polygon(points);
    else
        FCanvas.Polyline(points);
}

void TWmfPlayer::PolyPolygon(const TRecordView& r)
{
    const std::uint64_t polys = r.U16(6);
    if (!r.Fits(8, polys, 2))
        return;
    std::uint64_t at = 8 + 2 * polys;
    std::vector<QPolygonF> polygons;
    for (std::uint64_t i = 0; i < polys; ++i) {
        const std::uint64_t count = r.U16(8 + 2 * i);
        if (!r.Fits(at, count, 4))
            return;
        polygons.push_back(Points16(r, at, count));
        at += 4 * count;
    }
    FCanvas.PolyPolygon(polygons);
}

void TWmfPlayer::CreateFont(const TRecordView& r)
{
    TGdiFont font;
    font.Height = r.I16(6);
    font.Escapement = r.I16(10);
    font.Weight = r.I16(14);
    font.Italic = r.U8(16);
    font.Underline = r.U8(17);
    font.StrikeOut = r.U8(18);
    constexpr std::uint64_t kFace = 24, kFaceBytes = 32;
    const std::uint64_t available = std::uint64_t(r.Size()) > kFace ? std::uint64_t(r.Size()) - kFace : 0;
    QByteArrayView face = r.Bytes(kFace, std::min(kFaceBytes, available));
    if (const qsizetype end = face.indexOf('\0'); end >= 0)
        face = face.first(end);
    font.Face = QString::fromLatin1(face);
    FCanvas.CreateObject(font);
}

void TWmfPlayer::TextOut(const TRecordView& r)
{
    const std::uint64_t length = r.U16(6);
    const QByteArrayView text = r.Bytes(8, length);
    if (text.size() != qsizetype(length))
        return;
    const std::uint64_t after = 8 + ((length + 1) & ~std::uint64_t(1));
    TTextRun run;
    run.Text = QString::fromLatin1(text);
    run.Reference = QPointF(r.I16(after + 2), r.I16(after));
    FCanvas.TextOut(run);
}

void TWmfPlayer::ExtTextOut(const TRecordView& r)
{
    TTextRun run;
    run.Reference = YX(r, 0);
    const std::uint64_t length = r.U16(10);
    run.Options = r.U16(12);
    std::uint64_t at = 14;
    if (run.Options & (kEtoOpaque | kEtoClipped)) {
        run.Rect = QRectF(QPointF(r.I16(14), r.I16(16)), QPointF(r.I16(18), r.I16(20)));
        at += 8;
    }
    const QByteArrayView text = r.Bytes(at, length);
    if (text.size() != qsizetype(length))
        return;
    run.Text = QString::fromLatin1(text);
    const std::uint64_t dxAt = at + ((length + 1) & ~std::uint64_t(1));
    if (r.Fits(dxAt, length, 2))
        for (std::uint64_t i = 0; i < length; ++i)
            run.Advances.push_back(r.I16(dxAt + 2 * i));
    FCanvas.TextOut(run);
}

void TWmfPlayer::Dib(std::uint16_t function, const TRecordView& r)
{
    // Without a bitmap, a blit is a pattern fill and carries one reserved word more.
    const std::uint64_t bare = 2 * (std::uint64_t(function >> 8) + 3);
    const bool hasBitmap = std::uint64_t(r.Size()) > bare;
    // Only the StretchDIB and SetDIBitsToDevice records say how the colour table is meant.
    const std::uint64_t usageAt = function == kStretchDib ? 10 : 6;
    const bool paletteIndices = (function == kStretchDib || function == kSetDibToDev) && r.U16(usageAt) == kDibPalColors;
    const auto dib = [&](std::uint64_t at) {
        return DecodePackedDib(r.Bytes(at, std::uint64_t(r.Size()) - std::min<std::uint64_t>(at, r.Size())),
                               FCanvas.Palette(), paletteIndices);
    };
    const auto fromTop = [&](std::uint64_t at, QRectF source, const QImage& image) {
        return DibSourceFromTop(r.Bytes(at, std::uint64_t(r.Size()) - std::min<std::uint64_t>(at, r.Size())), source,
                                image.height());
    };
    switch (function) {
    case kDibBitBlt: {
        if (!hasBitmap) {
            FCanvas.PatBlt(QRectF(YX(r, 7), QSizeF(P(r, 6), P(r, 5))), r.U32(6));
            return;
        }
        const QImage image = dib(22);
        const QSizeF size(P(r, 5), P(r, 4));
        FCanvas.StretchBitmap(QRectF(YX(r, 6), size), image, QRectF(YX(r, 2), size), r.U32(6));
        return;
    }
    case kDibStretchBlt: {
        if (!hasBitmap) {
            FCanvas.PatBlt(QRectF(YX(r, 9), QSizeF(P(r, 8), P(r, 7))), r.U32(6));
            return;
        }
        const QImage image = dib(26);
        FCanvas.StretchBitmap(QRectF(YX(r, 8), QSizeF(P(r, 7), P(r, 6))), image,
                              QRectF(YX(r, 4), QSizeF(P(r, 3), P(r, 2))), r.U32(6));
        return;
    }
    case kStretchDib: {
        const QImage image = dib(28);
        const QRectF source = fromTop(28, QRectF(YX(r, 5), QSizeF(P(r, 4), P(r, 3))), image);
        FCanvas.StretchBitmap(QRectF(YX(r, 9), QSizeF(P(r, 8), P(r, 7))), image, source, r.U32(6));
        return;
    }
    default: {  // SetDIBitsToDevice
        const QImage image = dib(24);
        const QRectF source = fromTop(24, QRectF(YX(r, 3), QSizeF(P(r, 6), P(r, 5))), image);
        FCanvas.StretchBitmap(QRectF(YX(r, 7), source.size()), image, source, kSrcCopy);
        return;
    }
    }
}

}  // namespace

bool WmfNaturalSize(const QByteArray& bytes, QSize& size)
{
    const std::optional<TWmfHeader> header = ReadHeader(bytes);
    if (!header)
        return false;
    if (header->Placeable) {
        size = QSize(ToPixels(header->Bounds.width(), header->UnitsPerInch),
                     ToPixels(header->Bounds.height(), header->UnitsPerInch));
        return true;
    }
    const QSizeF extent = FirstWindowExtent(bytes, header->Size).value_or(QSizeF(0, 0));
    size = QSize(int(std::abs(extent.width())), int(std::abs(extent.height())));
    return true;
}

TPlayback PlayWmf(const QByteArray& bytes, QImage& target)
{
    const std::optional<TWmfHeader> header = ReadHeader(bytes);
    if (!header)
        return {};
    QSizeF window = header->Placeable ? header->Bounds.size()
                                      : FirstWindowExtent(bytes, header->Size).value_or(QSizeF(target.size()));
    TWmfPlayer player(target, *header, window);
    const TPlayOutcome outcome = player.Play(bytes, header->Size);
    TPlayback result = player.Result();
    result.Outcome = outcome;
    return result;
}
