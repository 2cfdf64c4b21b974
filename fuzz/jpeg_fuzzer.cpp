// The JPEG decoder the loader uses, over arbitrary bytes from memory.
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
    QImage picture = NewBitmap24(decoder.Width(), decoder.Height());
    if (picture.isNull())
        return 0;
    decoder.DecodeInto(picture);
    return 0;
}
