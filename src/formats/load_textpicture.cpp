#include "common/failure_texts.h"
#include "common/guarded.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/text_picture.h"

bool LoadTextPictureFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        TTextPicture picture;
        info.ErrorText = kUnknownFormat;
        if (!picture.LoadFromFile(info.FileName)) {
            // The codec's own words say more than the registry's: "Unexpected error", "Out of memory" and so on.
            info.ErrorText = picture.GetLastError();
            return false;
        }
        info.BitsPerPixel = 3;
        return DrawIntoTarget(info, picture.GetBitmap());
    });
}
