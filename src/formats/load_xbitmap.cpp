#include "common/failure_texts.h"
#include "common/guarded.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/xbitmap.h"

bool LoadXBitmapFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        TXBitmap picture;
        info.ErrorText = kUnknownFormat;
        if (!picture.LoadFromFile(info.FileName))
            return false;
        info.BitsPerPixel = 1;
        return DrawIntoTarget(info, picture.GetBitmap());
    });
}
