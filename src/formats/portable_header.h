#pragma once

#include "formats/portable_pixelmap.h"

#include <cstdint>
#include <vector>

class TByteStream;

// The anymap header as its readers share it: read, checked against the data, and its maximum value turned into a
// table that scales samples to 0..255.
namespace portable_detail {

// Scaled level of every sample a reader can meet: indices 0..last, samples above maxValue first capped to it.
std::vector<std::uint8_t> ScaleTable(std::uint32_t maxValue, std::uint32_t last);

// The header as netpbm reads it: the two bytes of the magic, then width, height and (except for bitmaps) the
// maximum value, separated by blanks of any kind, with "#" comments anywhere between them, also on the magic's
// line. The pixel data starts right after the character that ends the last number. An empty stream is a header
// without dimensions; a magic that is not "P" and one more character is no header.
bool ReadHeader(TByteStream& bytes, qint64& pos, TPortableHeader& header, qint64& dataPos);

std::int32_t ClampedKind(std::int32_t kind);

// Raw greymaps and pixmaps of byte samples paint every pixel themselves, white included.
bool PaintsItsOwnBackground(const TPortableHeader& header);

// False when fewer bytes than the smallest raster the header claims follow it.
bool DataCanFill(const TPortableHeader& header, std::int64_t available, bool reduced);

}  // namespace portable_detail
