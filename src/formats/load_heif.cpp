#include "common/guarded.h"
#include "formats/heif_decoder.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/photo_metadata.h"

bool LoadHeifFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        THeifResult heif;
        if (!DecodeHeifFile(info.FileName, info.AutoRotate, heif, info.ErrorText))
            return false;
        info.BitsPerPixel = heif.Picture.hasAlphaChannel() ? 32 : 24;
        info.Warning = heif.Warning;
        return FinishPhoto(info, heif.Picture, heif.Metadata);
    });
}
