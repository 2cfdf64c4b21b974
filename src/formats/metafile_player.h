#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>

// Windows metafiles, played without the Windows drawing layer: records are validated by libUEMF, decoded here
// and drawn with QPainter.

// The natural size in pixels: an enhanced metafile's frame at 96 pixels per inch. False when the bytes do not
// start with an enhanced metafile header.
bool EmfNaturalSize(const QByteArray& bytes, QSize& size);

// The natural size in pixels of a Windows metafile: a placeable file's bounding box at its units per inch,
// scaled to 96 pixels per inch, else the extent of its first window-extent record (0 x 0 without one).
// False when the bytes do not start with a metafile header.
bool WmfNaturalSize(const QByteArray& bytes, QSize& size);

// What playback found: records that drew, no records at all between the header and the end (an empty drawing),
// or records of which none drew (a picture we cannot show).
enum class TPlayOutcome { Drew, Empty, DrewNothing };

// Play the records over the whole of target, whose size is the natural size. Records we do not draw, and
// records that fail validation, are skipped; playback ends at the end-of-file record or at a record whose
// length leaves the file. target must be a 32-bit image (raster operations need one). An enhanced metafile
// whose own records draw nothing draws the metafile it carries in a comment, if any.
// Playback also stops, keeping what it drew, once its work (the area its records may touch) passes a budget
// that grows with the picture; the answer tells how much work was done and whether anything was drawn.
struct TPlayback {
    std::int64_t Work = 0;
    std::int64_t Budget = 0;
    bool Stopped = false;  // the budget ran out
    std::int64_t Glyphs = 0;  // characters of text laid out
    int LargestClip = 0;      // path elements of the largest clip region
    TPlayOutcome Outcome = TPlayOutcome::DrewNothing;
};
TPlayback PlayEmf(const QByteArray& bytes, QImage& target);
TPlayback PlayWmf(const QByteArray& bytes, QImage& target);
