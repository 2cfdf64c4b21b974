// HEIC, HEIF and AVIF through libheif from memory, with our walk over the container's boxes and the profile and
// EXIF handling of what it decodes.
#include "formats/heif_decoder.h"
#include "formats/photo_metadata.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    THeifResult heif;
    QString error;
    if (!DecodeHeifMemory(data, size, true, heif, error))
        return 0;
    TImageInfoRec info;
    QImage target;
    info.Bitmap = &target;
    FinishPhoto(info, heif.Picture, heif.Metadata);
    return 0;
}
