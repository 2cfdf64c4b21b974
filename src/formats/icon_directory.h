#pragma once

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <vector>

class QIODevice;

// The directory of an icon file, read before any picture is decoded, so that the loader decodes only the picture
// it chooses and can check an embedded PNG against what the directory says of it.
struct TIconEntry {
    int Index = 0;              // the entry's place in the directory, as Qt's reader counts pictures
    QSize Size;                 // as the directory states it (0 meaning 256)
    std::uint32_t Offset = 0;   // of the picture's data in the file
    std::uint32_t Bytes = 0;
    bool Png = false;           // the data is a PNG file rather than a bitmap
    QSize PngSize;              // the PNG's own size, from its header
};

// The entries that lie wholly inside the file, largest first (by the directory's sizes; the first of equal
// ones first). Empty when the file has no icon header.
std::vector<TIconEntry> ReadIconDirectory(QIODevice& file);

// Whether a PNG entry's own size agrees with its directory entry. A directory size of 256 stands for "256 or
// more", which large icons use, up to kMaxLargeIcon.
bool PngMatchesEntry(const TIconEntry& entry);

inline constexpr int kMaxLargeIcon = 1024;

// The entries worth decoding, in the order to try them: largest first, each picture the directory shares
// between entries once, a PNG only when its own size is the one the directory gives, none beyond the
// allocation ceiling, and at most kMaxIconDecodes of them: each failure costs a whole decode.
inline constexpr int kMaxIconDecodes = 4;
std::vector<TIconEntry> IconDecodeOrder(QIODevice& file);
