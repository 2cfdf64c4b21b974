#pragma once

#include "formats/graphic.h"

#include <QSize>

#include <cstdint>
#include <functional>

struct TPortableHeader {
    std::int32_t Kind = 3;
    std::int32_t MaxValue = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

class TByteStream;
class TByteImage;
struct TLineRange;

// The portable anymap family: bitmap, greymap and pixmap, plain (kinds 1..3) and raw (kinds 4..6).
// Grey and colour samples are scaled from 0..maxval to 0..255; raw samples of files with a maxval above 255
// take two bytes, most significant first.
class TPortablePixelmap : public TCodecPicture {
public:
    TPortablePixelmap() : TCodecPicture(true) {}

    void Assign(const TGraphic& source) override;
    void LoadFromStream(QIODevice& stream) override;
    // A picture that never had a kind (neither loaded nor assigned from an anymap) is saved as a raw pixmap.
    void SaveToStream(QIODevice& stream) override;

    // 1..6 after a load or an assignment from another anymap; 0 in a new picture. Set it to choose the saved kind.
    std::int32_t Kind = 0;

    // Set for a picture that will only be printed: given the full size, the smallest size it is needed at. A raw
    // greymap or pixmap of byte samples is then read into blocks of k x k pixels averaged into one (the largest
    // k that keeps the needed size; the last blocks of a row or column average what they hold), never holding
    // the whole picture. FullSize tells the size the file has.
    std::function<QSize(QSize full)> NeededSize;
    QSize FullSize;

private:
    void Load(QIODevice& stream, QString& failure);
    void Save(QIODevice& stream, QString& failure);
    bool ReadPlain(TByteStream& bytes, qint64& pos, const TPortableHeader& header);
    bool ReadRaw(TByteStream& bytes, qint64& pos, const TPortableHeader& header, int factor);
    bool ReadPlainBits(TByteStream& bytes, const TLineRange& line, TByteImage& image);
    bool ReadRawBits(TByteStream& bytes, qint64& pos);
    int ReductionFor(const TPortableHeader& header) const;
    bool WritePlain(TByteStream& bytes, qint64& pos, int kind);
    bool WriteRaw(TByteStream& bytes, qint64& pos, int kind);
};
