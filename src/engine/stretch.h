#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>

// A destination rectangle that may lie far outside the target (a picture overhanging the page), kept in 64 bits
// so its edges never overflow.
struct TStretchRect {
    std::int64_t Left = 0;
    std::int64_t Top = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0;
};

// Whether a stretch draws anything at all: a source, a 24-bit target, and a rectangle of 1 to 2^31 - 1 pixels a
// side. The limit keeps every product of a side and a source size within 64 bits.
bool CanStretch(const QImage& source, const QImage& target, const TStretchRect& targetRect);

// Draws the whole source scaled nearest-neighbour (rows and columns repeated or dropped, never averaged) into
// targetRect of a 24-bit target. Only the pixels inside clip, targetRect and the target's bounds are computed,
// so a huge source or a rectangle overhanging the target costs no more than the visible area. A target that is
// not 24 bits per pixel, or a rectangle wider or taller than 2^31 - 1, is left untouched.
void StretchNearest(const QImage& source, QImage& target, const TStretchRect& targetRect, const QRect& clip);
void StretchNearest(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip);

// The same placement as StretchNearest (each target pixel covers the same part of the source), with the colour
// resampled to suit each axis: a reduced axis averages exactly the source area a pixel covers (partly covered
// source pixels count by the part they cover), an axis enlarged by a whole factor repeats pixels so they stay
// crisp, any other enlargement interpolates linearly between the two nearest pixel centres. Integer arithmetic;
// large jobs are split over the processor's cores by rows. The same limits as StretchNearest.
void StretchSmooth(const QImage& source, QImage& target, const TStretchRect& targetRect, const QRect& clip);
void StretchSmooth(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip);
