#include "formats/heif_decoder.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/photo_metadata.h"

bool LoadHeifFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    try {
        QImage picture;
        TPhotoMetadata metadata;
        if (!DecodeHeifFile(info.FileName, info.AutoRotate, picture, metadata, info.ErrorText))
            return false;
        info.BitsPerPixel = picture.hasAlphaChannel() ? 32 : 24;
        return FinishPhoto(info, picture, metadata);
    } catch (...) {
        return false;
    }
}
