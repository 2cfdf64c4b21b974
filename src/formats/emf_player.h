#pragma once

#include "formats/metafile_canvas.h"
#include "formats/metafile_player.h"
#include "formats/metafile_record.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>

// The enhanced-metafile player, whose record groups are played in files of their own.
namespace emf_detail {

struct TEmfHeader {
    QRectF Frame;         // hundredths of a millimetre
    QSizeF PixelsPerMm;   // of the reference device
    std::uint32_t Handles = 0;
};

// A metafile carried inside a comment record: the Windows metafile an enhanced one was converted from, or the
// enhanced-metafile form among several formats. Empty when the comment carries none.
struct TNestedMetafile {
    QByteArray Bytes;
    bool Enhanced = false;
};

class TEmfPlayer {
public:
    TEmfPlayer(QImage& target, const TEmfHeader& header);

    void Play(const QByteArray& bytes);

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
    static bool Safe(std::uint32_t type, const TRecordView& r);

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

}  // namespace emf_detail
