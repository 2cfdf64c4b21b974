// The JPEG decoder the loader uses, over arbitrary bytes from memory; the last byte may ask for a reduced decode
// as print-only runs do.
#include "fuzz_file.h"

#include "common/bitmap.h"
#include "formats/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TJpegDecoder decoder;
    if (!decoder.OpenMemory(data, size))
        return 0;
    if (std::int64_t(decoder.Width()) * decoder.Height() > kFuzzMaxPixels)
        return 0;
    if (const int divisor = 1 + data[size - 1] % 12; divisor > 1)
        decoder.ScaleToAtLeast(decoder.Width() / divisor, decoder.Height() / divisor);
    QImage picture = NewBitmap24(decoder.OutputWidth(), decoder.OutputHeight());
    if (picture.isNull())
        return 0;
    decoder.DecodeInto(picture);
    return 0;
}
