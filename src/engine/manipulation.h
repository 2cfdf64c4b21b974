#pragma once

#include "common/bitmap.h"

#include <QString>

#include <cstdint>

// A rectangle of a picture in pixels.
struct TArea {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    friend bool operator==(const TArea&, const TArea&) = default;
};

// One request to the pixel routines below. The routines change Bitmap in place and leave the reason of a failure
// in ErrorText.
struct TManipulationInfo {
    TBitmap* Bitmap = nullptr;  // not owned
    TArea Area;                 // what flip, mirror and invert work on
    bool AreaExclusive = true;  // true: Right and Bottom lie one past the last column and row
    QString ErrorText;
    std::int32_t InvertRed = 0;  // nonzero: InvertArea inverts that channel
    std::int32_t InvertGreen = 0;
    std::int32_t InvertBlue = 0;
};

// (0, 0, width, height) of the bitmap; (0, 0, -1, -1) without one.
void BitmapArea(const TBitmap* bitmap, TArea& area);
// Puts Left <= Right and Top <= Bottom by swapping the edges that are the wrong way round.
void NormalizeArea(TArea& area);
// Clamps the edges into the bitmap, then normalises them. Nothing happens without a bitmap.
void ClampArea(TManipulationInfo& info);
// The entry check of every routine: a bitmap must be given; clamps the area.
bool ValidateManipulation(TManipulationInfo& info);
// Makes target an exact, unshared copy of source (format, size and pixels).
bool CopyBitmap(const TBitmap& source, TBitmap& target);

// Reverses the order of the rows inside Area, in place, keeping the pixel format.
bool FlipArea(TManipulationInfo& info);
// Reverses the order of the columns inside Area, in place, keeping the pixel format.
bool MirrorArea(TManipulationInfo& info);

inline constexpr int kRotateClockwise = 0;
inline constexpr int kRotateCounterClockwise = 1;
// Turns the whole bitmap (Area is ignored) a quarter turn; direction kRotateClockwise or kRotateCounterClockwise.
// The result is 24 bits per pixel. Needs memory for the turned picture only, beside the picture itself.
bool RotateQuarter(TManipulationInfo& info, int direction);
// Maps an angle in degrees to a quarter turn either way, a half turn or nothing; false for angles it has no
// mapping for, with ErrorText left as it was.
bool RotateBitmap(TManipulationInfo& info, int angle);

// Inverts all three channels inside Area.
bool InvertBitmap(TManipulationInfo& info);
// Inverts the channels chosen by InvertRed, InvertGreen and InvertBlue inside Area; the result is 24 bits per
// pixel.
bool InvertArea(TManipulationInfo& info);
