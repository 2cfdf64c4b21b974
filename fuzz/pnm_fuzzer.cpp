// Portable anymap reader over arbitrary bytes; what it reads must save and read back to the same picture.
#include "codec_round_trip.h"
#include "formats/portable_pixelmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Greymaps and bitmaps keep one channel: no exact round trip to check.
    return FuzzRoundTrip<TPortablePixelmap>(data, size,
                                            [](const TPortablePixelmap& p) { return p.Kind == 3 || p.Kind == 6; });
}
