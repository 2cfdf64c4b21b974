#include "formats/emfplus_player.h"

#include "formats/metafile_canvas.h"
#include "formats/metafile_record.h"

#include <QLinearGradient>
#include <QtMath>

#include <array>
#include <cmath>
#include <optional>
#include <variant>

namespace {

constexpr std::uint32_t kEmrComment = 70, kEmrEof = 14;
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45;  // "EMF+"
constexpr std::uint64_t kRecordHead = 12;               // type, flags, size, data size

// Record flags.
constexpr std::uint16_t kSolidColour = 0x8000, kCompressed = 0x4000, kClosed = 0x2000, kAppend = 0x2000,
                        kRelative = 0x0800;

enum TEmfPlusRecord : std::uint16_t {
    kHeader = 0x4001, kEndOfFile = 0x4002, kObject = 0x4008, kClear = 0x4009, kFillRects = 0x400A,
    kDrawRects = 0x400B, kFillPolygon = 0x400C, kDrawLines = 0x400D, kFillEllipse = 0x400E, kDrawEllipse = 0x400F,
    kFillPie = 0x4010, kDrawPie = 0x4011, kDrawArc = 0x4012, kFillPath = 0x4014, kDrawPath = 0x4015,
    kDrawBeziers = 0x4019, kDrawString = 0x401C, kSave = 0x4025, kRestore = 0x4026, kBeginContainerNoParams = 0x4028,
    kEndContainer = 0x4029, kSetWorldTransform = 0x402A, kResetWorldTransform = 0x402B,
    kMultiplyWorldTransform = 0x402C, kTranslateWorldTransform = 0x402D, kScaleWorldTransform = 0x402E,
    kRotateWorldTransform = 0x402F, kSetPageTransform = 0x4030, kResetClip = 0x4031, kSetClipRect = 0x4032,
    kSetClipPath = 0x4033,
};

enum TObjectType : int { kBrushObject = 1, kPenObject = 2, kPathObject = 3, kFontObject = 6 };

struct TPlusFont {
    QFont Font;
    double Em = 0;
    std::uint32_t Unit = 0;
};

using TPlusObject = std::variant<QBrush, QPen, QPainterPath, TPlusFont>;

QColor Argb(std::uint32_t v)
{
    return QColor::fromRgba(v);
}

// Device pixels per unit of the page and font units: world, display, pixel, point, inch, document, millimetre.
double UnitPixels(std::uint32_t unit, double dpi)
{
    switch (unit) {
    case 3: return dpi / 72;
    case 4: return dpi;
    case 5: return dpi / 300;
    case 6: return dpi / 25.4;
    default: return 1;
    }
}

// A brush object at offset at; what we cannot paint (textures) is no brush.
std::optional<QBrush> ReadBrush(const TRecordView& r, std::uint64_t at)
{
    switch (r.U32(at + 4)) {
    case 0: return QBrush(Argb(r.U32(at + 8)));
    case 1: {  // hatch: the two colours mixed, as the fine pattern looks from afar
        const QColor fore = Argb(r.U32(at + 12)), back = Argb(r.U32(at + 16));
        return QBrush(QColor((fore.red() + back.red()) / 2, (fore.green() + back.green()) / 2,
                             (fore.blue() + back.blue()) / 2, (fore.alpha() + back.alpha()) / 2));
    }
    case 3: return QBrush(Argb(r.U32(at + 16)));  // path gradient: its centre colour
    case 4: {
        const QRectF rect(r.F32(at + 16), r.F32(at + 20), r.F32(at + 24), r.F32(at + 28));
        QLinearGradient gradient(rect.left(), rect.center().y(), rect.right(), rect.center().y());
        gradient.setColorAt(0, Argb(r.U32(at + 32)));
        gradient.setColorAt(1, Argb(r.U32(at + 36)));
        return QBrush(gradient);
    }
    default: return std::nullopt;
    }
}

std::optional<QPen> ReadPen(const TRecordView& r, std::uint64_t at)
{
    const std::uint32_t flags = r.U32(at + 8);
    QPen pen(Qt::black, std::max(0.0f, r.F32(at + 16)), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    std::uint64_t next = at + 20;
    const auto skipCounted = [&](std::uint64_t itemSize) {
        const std::uint64_t count = r.U32(next);
        next += 4 + (count < (1u << 24) ? count * itemSize : 0);
    };
    if (flags & 0x01) next += 24;  // transform
    if (flags & 0x02) next += 4;   // start cap
    if (flags & 0x04) next += 4;   // end cap
    if (flags & 0x08) {
        static constexpr Qt::PenJoinStyle kJoins[] = {Qt::MiterJoin, Qt::BevelJoin, Qt::RoundJoin, Qt::MiterJoin};
        pen.setJoinStyle(kJoins[r.U32(next) & 3]);
        next += 4;
    }
    if (flags & 0x10) {
        pen.setMiterLimit(r.F32(next));
        next += 4;
    }
    if (flags & 0x20) {
        static constexpr Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                                   Qt::DashDotDotLine, Qt::DashLine};
        pen.setStyle(kStyles[std::min<std::uint32_t>(r.U32(next), 5)]);
        next += 4;
    }
    if (flags & 0x40) next += 4;      // dashed line cap
    if (flags & 0x80) next += 4;      // dash offset
    if (flags & 0x100) skipCounted(4);  // dash lengths
    if (flags & 0x200) next += 4;     // alignment
    if (flags & 0x400) skipCounted(4);  // compound line
    if (flags & 0x800) skipCounted(1);  // custom start cap
    if (flags & 0x1000) skipCounted(1); // custom end cap
    const std::optional<QBrush> brush = ReadBrush(r, next);
    if (!brush)
        return std::nullopt;
    pen.setBrush(*brush);
    return pen;
}

// A coordinate of a relative point: 7 bits signed in one byte, or 15 bits signed in two.
std::optional<int> RelativeValue(const TRecordView& r, std::uint64_t& at)
{
    if (!r.Fits(at, 1, 1))
        return std::nullopt;
    const std::uint8_t first = r.U8(at++);
    if (!(first & 0x80))
        return (first & 0x40) ? int(first) - 0x80 : int(first);
    if (!r.Fits(at, 1, 1))
        return std::nullopt;
    const int value = ((first & 0x7F) << 8) | r.U8(at++);
    return (value & 0x4000) ? value - 0x8000 : value;
}

// count points from at: floats, 16-bit integers, or offsets from the point before. next is where they end.
QPolygonF ReadPoints(const TRecordView& r, std::uint64_t at, std::uint64_t count, std::uint16_t flags,
                     std::uint64_t* next = nullptr)
{
    QPolygonF points;
    if (flags & kRelative) {
        QPointF last;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::optional<int> dx = RelativeValue(r, at), dy = RelativeValue(r, at);
            if (!dx || !dy)
                return {};
            last += QPointF(*dx, *dy);
            points.append(last);
        }
    } else {
        const std::uint64_t size = (flags & kCompressed) ? 4 : 8;
        if (!r.Fits(at, count, size))
            return {};
        points.reserve(qsizetype(count));
        for (std::uint64_t i = 0; i < count; ++i, at += size)
            points.append((flags & kCompressed) ? QPointF(r.I16(at), r.I16(at + 2)) : QPointF(r.F32(at), r.F32(at + 4)));
    }
    if (next)
        *next = at;
    return points;
}

QRectF ReadRect(const TRecordView& r, std::uint64_t at, std::uint16_t flags)
{
    if (flags & kCompressed)
        return QRectF(r.I16(at), r.I16(at + 2), r.I16(at + 4), r.I16(at + 6));
    return QRectF(r.F32(at), r.F32(at + 4), r.F32(at + 8), r.F32(at + 12));
}

std::optional<QPainterPath> ReadPath(const TRecordView& r, std::uint64_t at)
{
    constexpr std::uint16_t kRunLengthTypes = 0x1000;
    const std::uint64_t count = r.U32(at + 4);
    const auto flags = std::uint16_t(r.U32(at + 8));
    std::uint64_t typesAt = 0;
    const QPolygonF points = ReadPoints(r, at + 12, count, flags, &typesAt);
    if (std::uint64_t(points.size()) != count || (flags & kRunLengthTypes) || !r.Fits(typesAt, count, 1))
        return std::nullopt;
    QPainterPath path;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t type = r.U8(typesAt + i);
        switch (type & 0x07) {
        case 0: path.moveTo(points[qsizetype(i)]); break;
        case 3:
            if (i + 2 < count) {
                path.cubicTo(points[qsizetype(i)], points[qsizetype(i + 1)], points[qsizetype(i + 2)]);
                i += 2;
            }
            break;
        default: path.lineTo(points[qsizetype(i)]); break;
        }
        if (r.U8(typesAt + i) & 0x80)
            path.closeSubpath();
    }
    path.setFillRule(Qt::WindingFill);
    return path;
}

std::optional<TPlusFont> ReadFont(const TRecordView& r, std::uint64_t at)
{
    const std::uint64_t length = r.U32(at + 20);
    if (!r.Fits(at + 24, length, 2) || length > 64)
        return std::nullopt;
    TPlusFont f;
    f.Em = r.F32(at + 4);
    f.Unit = r.U32(at + 8);
    const std::uint32_t style = r.U32(at + 12);
    QString family;
    for (std::uint64_t i = 0; i < length; ++i)
        family.append(QChar(char16_t(r.U16(at + 24 + 2 * i))));
    f.Font.setFamily(family);
    f.Font.setBold(style & 1);
    f.Font.setItalic(style & 2);
    f.Font.setUnderline(style & 4);
    f.Font.setStrikeOut(style & 8);
    return f;
}

class TEmfPlusPlayer {
public:
    TEmfPlusPlayer(QImage& target, const QTransform& deviceToTarget, QSizeF pixelsPerMm, std::int64_t spentWork)
        : FCanvas(target, deviceToTarget, pixelsPerMm, false), FDpi(pixelsPerMm.width() * 25.4)
    {
        FCanvas.AddWork(spentWork);
    }

    TPlayback Play(const QByteArray& bytes);

private:
    void Records(const TRecordView& comment);
    void Dispatch(std::uint16_t type, std::uint16_t flags, const TRecordView& r);
    void Object(std::uint16_t flags, const TRecordView& r);
    std::optional<QBrush> Brush(std::uint16_t flags, std::uint32_t value) const;
    const TPlusObject* At(std::uint32_t id) const { return id < FObjects.size() && FObjects[id] ? &*FObjects[id] : nullptr; }
    void Fill(std::uint16_t flags, std::uint32_t brush, const QPainterPath& shape);
    void Stroke(std::uint32_t penId, const QPainterPath& shape);
    void Transform(std::uint16_t flags, const QTransform& by);
    void ApplyTransform();
    void Save(std::uint32_t id);
    void Restore(std::uint32_t id);
    void String(std::uint16_t flags, const TRecordView& r);

    struct TSaved {
        std::uint32_t Id;
        int Depth;
        QTransform World;
        QTransform Page;
    };

    TMetafileCanvas FCanvas;
    double FDpi;
    std::array<std::optional<TPlusObject>, 64> FObjects;
    QTransform FWorld;
    QTransform FPage;
    std::vector<TSaved> FSaved;
    bool FEnded = false;
};

TPlayback TEmfPlusPlayer::Play(const QByteArray& bytes)
{
    const auto total = std::uint64_t(bytes.size());
    std::uint64_t offset = 0;
    while (offset + 8 <= total && !FEnded && !FCanvas.Exhausted()) {
        const TRecordView head(bytes.constData() + offset, qsizetype(total - offset));
        const std::uint32_t type = head.U32(0), size = head.U32(4);
        if (size < 8 || size % 4 || size > total - offset || type == kEmrEof)
            break;
        if (type == kEmrComment && size >= 16 && head.U32(12) == kEmfPlusSignature)
            Records(TRecordView(head.Data(), qsizetype(size)));
        offset += size;
    }
    return {FCanvas.Work(), FCanvas.WorkBudget(), FCanvas.Exhausted(), FCanvas.Glyphs(), FCanvas.LargestClip(),
            FCanvas.Drew() ? TPlayOutcome::Drew : TPlayOutcome::DrewNothing};
}

void TEmfPlusPlayer::Records(const TRecordView& comment)
{
    const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t(comment.Size()), 12 + std::uint64_t(comment.U32(8)));
    std::uint64_t at = 16;
    while (at + kRecordHead <= end && !FEnded && !FCanvas.Exhausted()) {
        const std::uint16_t type = comment.U16(at), flags = comment.U16(at + 2);
        const std::uint64_t size = comment.U32(at + 4);
        if (size < kRecordHead || size > end - at)
            return;
        Dispatch(type, flags, TRecordView(comment.Data() + at + kRecordHead, qsizetype(size - kRecordHead)));
        at += size;
    }
}

std::optional<QBrush> TEmfPlusPlayer::Brush(std::uint16_t flags, std::uint32_t value) const
{
    if (flags & kSolidColour)
        return QBrush(Argb(value));
    if (const TPlusObject* object = At(value))
        if (const auto* brush = std::get_if<QBrush>(object))
            return *brush;
    return std::nullopt;
}

void TEmfPlusPlayer::Fill(std::uint16_t flags, std::uint32_t brush, const QPainterPath& shape)
{
    if (const std::optional<QBrush> b = Brush(flags, brush))
        FCanvas.FillShape(shape, *b);
}

void TEmfPlusPlayer::Stroke(std::uint32_t penId, const QPainterPath& shape)
{
    if (const TPlusObject* object = At(penId))
        if (const auto* pen = std::get_if<QPen>(object))
            FCanvas.StrokeShape(shape, *pen);
}

void TEmfPlusPlayer::ApplyTransform()
{
    FCanvas.SetWorldTransform(FWorld * FPage);
}

void TEmfPlusPlayer::Transform(std::uint16_t flags, const QTransform& by)
{
    FWorld = (flags & kAppend) ? FWorld * by : by * FWorld;
    ApplyTransform();
}

void TEmfPlusPlayer::Save(std::uint32_t id)
{
    if (FSaved.size() >= std::size_t(TMetafileCanvas::kMaxSavedStates))
        return;
    FCanvas.SaveDC();
    FSaved.push_back({id, int(FSaved.size()) + 1, FWorld, FPage});
}

void TEmfPlusPlayer::Restore(std::uint32_t id)
{
    for (std::size_t i = FSaved.size(); i-- > 0;) {
        if (FSaved[i].Id != id)
            continue;
        FCanvas.RestoreDC(FSaved[i].Depth);
        FWorld = FSaved[i].World;
        FPage = FSaved[i].Page;
        FSaved.resize(i);
        ApplyTransform();
        return;
    }
}

void TEmfPlusPlayer::Object(std::uint16_t flags, const TRecordView& r)
{
    constexpr std::uint16_t kContinued = 0x8000;
    const std::uint32_t id = flags & 0xFF;
    if (id >= FObjects.size())
        return;
    FObjects[id].reset();
    if (flags & kContinued)
        return;  // objects spread over records are images; we draw none
    switch ((flags >> 8) & 0x7F) {
    case kBrushObject:
        if (const auto brush = ReadBrush(r, 0))
            FObjects[id] = *brush;
        break;
    case kPenObject:
        if (const auto pen = ReadPen(r, 0))
            FObjects[id] = *pen;
        break;
    case kPathObject:
        if (const auto path = ReadPath(r, 0))
            FObjects[id] = *path;
        break;
    case kFontObject:
        if (const auto font = ReadFont(r, 0))
            FObjects[id] = *font;
        break;
    default: break;
    }
}

void TEmfPlusPlayer::String(std::uint16_t flags, const TRecordView& r)
{
    const TPlusObject* object = At(flags & 0xFF);
    const auto* font = object ? std::get_if<TPlusFont>(object) : nullptr;
    const std::optional<QBrush> brush = Brush(flags, r.U32(0));
    const std::uint64_t length = r.U32(8);
    if (!font || !brush || !r.Fits(28, length, 2))
        return;
    QString text;
    for (std::uint64_t i = 0; i < length; ++i)
        text.append(QChar(char16_t(r.U16(28 + 2 * i))));
    // A font in world units scales with the drawing; one in device units keeps its size whatever the transform.
    double em = font->Em;
    if (font->Unit != 0) {
        const double scale = std::sqrt(std::abs((FWorld * FPage).determinant()));
        em = scale > 0 ? em * UnitPixels(font->Unit, FDpi) / scale : 0;
    }
    FCanvas.DrawTextBox(QRectF(r.F32(12), r.F32(16), r.F32(20), r.F32(24)), text, font->Font, em,
                        brush->color());
}

void TEmfPlusPlayer::Dispatch(std::uint16_t type, std::uint16_t flags, const TRecordView& r)
{
    const auto ellipse = [](const QRectF& box) {
        QPainterPath path;
        path.addEllipse(box.normalized());
        return path;
    };
    const auto pie = [](const QRectF& box, double start, double sweep, bool closed) {
        QPainterPath path;
        if (closed)
            path.moveTo(box.center());
        else
            path.arcMoveTo(box, -start);
        path.arcTo(box, -start, -sweep);  // clockwise from the x axis, y down
        if (closed)
            path.closeSubpath();
        return path;
    };
    switch (type) {
    case kEndOfFile: FEnded = true; break;
    case kObject: Object(flags, r); break;
    case kClear: FCanvas.ClearTarget(Argb(r.U32(0))); break;
    case kFillRects: {
        const std::uint64_t count = r.U32(4), size = (flags & kCompressed) ? 8 : 16;
        if (!r.Fits(8, count, size))
            break;
        QPainterPath shape;
        for (std::uint64_t i = 0; i < count; ++i)
            shape.addRect(ReadRect(r, 8 + i * size, flags));
        Fill(flags, r.U32(0), shape);
        break;
    }
    case kDrawRects: {
        const std::uint64_t count = r.U32(0), size = (flags & kCompressed) ? 8 : 16;
        if (!r.Fits(4, count, size))
            break;
        QPainterPath shape;
        for (std::uint64_t i = 0; i < count; ++i)
            shape.addRect(ReadRect(r, 4 + i * size, flags));
        Stroke(flags & 0xFF, shape);
        break;
    }
    case kFillPolygon: {
        QPainterPath shape;
        shape.addPolygon(ReadPoints(r, 8, r.U32(4), flags));
        shape.closeSubpath();
        Fill(flags, r.U32(0), shape);
        break;
    }
    case kDrawLines: case kDrawBeziers: {
        const QPolygonF points = ReadPoints(r, 4, r.U32(0), flags);
        if (points.size() < 2)
            break;
        QPainterPath shape(points.first());
        if (type == kDrawLines) {
            for (qsizetype i = 1; i < points.size(); ++i)
                shape.lineTo(points[i]);
            if (flags & kClosed)
                shape.closeSubpath();
        } else {
            for (qsizetype i = 1; i + 2 < points.size(); i += 3)
                shape.cubicTo(points[i], points[i + 1], points[i + 2]);
        }
        Stroke(flags & 0xFF, shape);
        break;
    }
    case kFillEllipse: Fill(flags, r.U32(0), ellipse(ReadRect(r, 4, flags))); break;
    case kDrawEllipse: Stroke(flags & 0xFF, ellipse(ReadRect(r, 0, flags))); break;
    case kFillPie: Fill(flags, r.U32(0), pie(ReadRect(r, 12, flags), r.F32(4), r.F32(8), true)); break;
    case kDrawPie: case kDrawArc:
        Stroke(flags & 0xFF, pie(ReadRect(r, 8, flags), r.F32(0), r.F32(4), type == kDrawPie));
        break;
    case kFillPath:
        if (const TPlusObject* object = At(flags & 0xFF))
            if (const auto* path = std::get_if<QPainterPath>(object))
                Fill(flags, r.U32(0), *path);
        break;
    case kDrawPath:
        if (const TPlusObject* object = At(flags & 0xFF))
            if (const auto* path = std::get_if<QPainterPath>(object))
                Stroke(r.U32(0), *path);
        break;
    case kDrawString: String(flags, r); break;
    case kSave: case kBeginContainerNoParams: Save(r.U32(0)); break;
    case kRestore: case kEndContainer: Restore(r.U32(0)); break;
    case kSetWorldTransform:
        FWorld = QTransform(r.F32(0), r.F32(4), r.F32(8), r.F32(12), r.F32(16), r.F32(20));
        ApplyTransform();
        break;
    case kResetWorldTransform: FWorld.reset(); ApplyTransform(); break;
    case kMultiplyWorldTransform:
        Transform(flags, QTransform(r.F32(0), r.F32(4), r.F32(8), r.F32(12), r.F32(16), r.F32(20)));
        break;
    case kTranslateWorldTransform: Transform(flags, QTransform::fromTranslate(r.F32(0), r.F32(4))); break;
    case kScaleWorldTransform: Transform(flags, QTransform::fromScale(r.F32(0), r.F32(4))); break;
    case kRotateWorldTransform: Transform(flags, QTransform().rotate(r.F32(0))); break;
    case kSetPageTransform: {
        const double scale = r.F32(0) * UnitPixels(flags & 0xFF, FDpi);
        FPage = QTransform::fromScale(scale, scale);
        ApplyTransform();
        break;
    }
    case kResetClip: FCanvas.SelectClipRegion({}, kRgnCopy); break;
    case kSetClipRect: case kSetClipPath: {
        // Replace, intersect, union, xor, exclude; complement is left alone.
        static constexpr int kModes[] = {kRgnCopy, kRgnAnd, kRgnOr, kRgnXor, kRgnDiff};
        const int mode = (flags >> 8) & 0x0F;
        if (mode > 4)
            break;
        QPainterPath area;
        if (type == kSetClipRect) {
            area.addRect(ReadRect(r, 0, 0));
        } else if (const TPlusObject* object = At(flags & 0xFF)) {
            if (const auto* path = std::get_if<QPainterPath>(object))
                area = *path;
        }
        FCanvas.ClipTo(area, kModes[mode]);
        break;
    }
    default: break;  // images, regions, curves and the rest are not drawn
    }
}

}  // namespace

TPlayback PlayEmfPlus(const QByteArray& bytes, QImage& target, const QTransform& deviceToTarget,
                      QSizeF devicePixelsPerMm, std::int64_t spentWork)
{
    TEmfPlusPlayer player(target, deviceToTarget, devicePixelsPerMm, spentWork);
    return player.Play(bytes);
}
