#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/xbitmap.h"

bool LoadXBitmapFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    try {
        info.ErrorText = "Out of memory";
        TXBitmap picture;
        info.ErrorText = "Unknown format";
        if (!picture.LoadFromFile(info.FileName))
            return false;
        info.BitsPerPixel = 1;
        return DrawIntoTarget(info, picture.GetBitmap());
    } catch (...) {
        return false;
    }
}
