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

// Draws the whole source scaled nearest-neighbour (rows and columns repeated or dropped, never averaged) into
// targetRect of a 24-bit target. Only the pixels inside clip, targetRect and the target's bounds are computed,
// so a huge source or a rectangle overhanging the target costs no more than the visible area. A target that is
// not 24 bits per pixel, or a rectangle wider or taller than 2^31 - 1, is left untouched.
void StretchNearest(const QImage& source, QImage& target, const TStretchRect& targetRect, const QRect& clip);
void StretchNearest(const QImage& source, QImage& target, const QRect& targetRect, const QRect& clip);
