// Portable anymap reader over arbitrary bytes; what it reads must save and read back to the same picture. The
// same bytes are read once more as a print-only run reads them, reduced by whole blocks.
#include "codec_round_trip.h"
#include "formats/portable_pixelmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0) {
        QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TPortablePixelmap reduced;
        const int divisor = 1 + data[size - 1] % 8;
        reduced.NeededSize = [divisor](QSize full) { return full / divisor; };
        try {
            reduced.LoadFromStream(buffer);
        } catch (const EGeneralError&) {
        }
    }
    // Greymaps and bitmaps keep one channel: no exact round trip to check.
    return FuzzRoundTrip<TPortablePixelmap>(data, size,
                                            [](const TPortablePixelmap& p) { return p.Kind == 3 || p.Kind == 6; });
}
