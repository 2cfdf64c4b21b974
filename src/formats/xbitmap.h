#pragma once

#include "formats/graphic.h"

class TByteStream;

// X bitmaps: a monochrome picture written as C text, two "#define" lines for the size and a "static" array of
// hexadecimal bytes, the leftmost pixel in the least significant bit. Set bits are black, clear bits white.
class TXBitmap : public TCodecPicture {
public:
    TXBitmap() : TCodecPicture(true) {}

    void Assign(const TGraphic& source) override { CopyFromGraphic(source); }
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;

private:
    void Load(QIODevice& stream, QString& failure);
    void Save(QIODevice& stream, QString& failure);
    void ReadData(TByteStream& bytes, qint64& pos);
    bool WriteData(TByteStream& bytes, qint64& pos);
};
