#pragma once

#include "formats/graphic.h"

#include <QSize>

#include <cstdint>
#include <functional>

// The anymap kinds, numbered as the digit of the magic "P1".."P6".
enum : std::int32_t {
    kAnymapNone = 0,  // a picture that never had a kind
    kAnymapPlainBitmap = 1,
    kAnymapPlainGreymap = 2,
    kAnymapPlainPixmap = 3,
    kAnymapRawBitmap = 4,
    kAnymapRawGreymap = 5,
    kAnymapRawPixmap = 6,
};

struct TPortableHeader {
    std::int32_t Kind = kAnymapPlainPixmap;
    std::int32_t MaxValue = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

class TByteStream;
class TByteImage;
struct TLineRange;

// The portable anymap family: bitmap, greymap and pixmap, plain (kAnymapPlain...) and raw (kAnymapRaw...).
// Grey and colour samples are scaled from 0..maxval to 0..255; raw samples of files with a maxval above 255
// take two bytes, most significant first.
class TPortablePixelmap : public TCodecPicture {
public:
    TPortablePixelmap() : TCodecPicture(true) {}

    void Assign(const TGraphic& source) override;
    void LoadFromStream(QIODevice& stream) override;
    // A picture that never had a kind (neither loaded nor assigned from an anymap) is saved as a raw pixmap.
    void SaveToStream(QIODevice& stream) override;

    // kAnymapPlainBitmap..kAnymapRawPixmap after a load or an assignment from another anymap; kAnymapNone in a
    // new picture. Set it to choose the saved kind.
    std::int32_t Kind = kAnymapNone;

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
