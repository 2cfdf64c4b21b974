// X bitmap reader over arbitrary bytes; what it reads must save and read back to the same picture.
#include "codec_round_trip.h"
#include "formats/xbitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzRoundTrip<TXBitmap>(data, size, [](const TXBitmap&) { return true; });
}
