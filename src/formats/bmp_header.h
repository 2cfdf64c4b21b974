#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// What the bitmap reader needs to know before it lets Qt decode: the size and the pixel layout, read from the
// file header and the info header (core, 40-byte and later forms), every read bounds-checked.
struct TBmpHeader {
    std::int64_t Width = 0;
    std::int64_t Height = 0;  // rows, whatever the direction
    bool TopDown = false;     // the first stored row is the top one
    int BitCount = 0;
    std::uint32_t Compression = 0;
    std::uint32_t RedMask = 0;    // channel masks of 16-bit pictures: the file's bit fields, or 5-5-5
    std::uint32_t GreenMask = 0;
    std::uint32_t BlueMask = 0;
    std::int64_t PixelOffset = 0;
    std::int32_t XPelsPerMeter = 0;  // the picture's resolution; 0 when the header has none
    std::int32_t YPelsPerMeter = 0;
};

inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;

// Bytes of the file start that hold every header form and the bit-field masks.
inline constexpr int kBmpHeaderBytes = 14 + 124;

// The header of the bitmap file whose first bytes are given; nothing when they are no bitmap header.
std::optional<TBmpHeader> ReadBmpHeader(const QByteArray& start);

// The colour depth as the program reports it: 1, 4, 8, 15, 16, 24 or 32; 24 for layouts of no standard depth.
int BmpBitsPerPixel(const TBmpHeader& header);

// Bytes of pixel data an uncompressed picture needs; -1 for compressed ones, whose size is not known ahead.
std::int64_t BmpPixelBytes(const TBmpHeader& header);
