#pragma once

#include "formats/graphic.h"

#include <algorithm>
#include <cstdint>

class TByteStream;
struct TTextPalette;

// The program's own picture format: a small palette picture in printable characters, kept in a ".TEP" file or
// in a string constant (the button glyphs). Widths and heights are 1..262143 (three base-64 digits).
class TTextPicture : public TCodecPicture {
public:
    static constexpr int kMaxSide = 262143;

    TTextPicture() : TCodecPicture(false) {}

    void Assign(const TGraphic& source) override;
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;
    // Never raises; false with LastError on failure.
    bool LoadFromString(const QString& text);

    std::uint8_t GetDepth() const { return Depth; }
    void SetDepth(int depth) { Depth = std::uint8_t(std::clamp(depth, 1, 6)); }
    std::uint8_t GetLineStyle() const { return LineStyle; }
    void SetLineStyle(int style) { LineStyle = std::uint8_t(std::clamp(style, 0, 2)); }

private:
    void Load(QIODevice& stream, QString& failure);
    void Save(QIODevice& stream, QString& failure);
    void Decode(TByteStream& bytes, qint64& pos, int kind, const TTextPalette& palette);
    bool WritePixels(TByteStream& bytes, qint64& pos, int kind, const TTextPalette& palette);

    std::uint8_t LineStyle = 0;
    std::uint8_t Depth = 6;
};

// A Text Picture string as a new 24-bit picture; a null image when the string does not load.
QImage TextPictureToBitmap(const QString& text);
