#include "common/failure_texts.h"
#include "common/guarded.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/portable_pixelmap.h"

namespace {

// Colour depth of the source by the kind read: bitmaps 1, greymaps 8, pixmaps 24.
int PortableBitsPerPixel(int kind)
{
    switch (kind) {
    case 1:
    case 4:
        return 1;
    case 2:
    case 5:
        return 8;
    default:
        return 24;
    }
}

}  // namespace

bool LoadPortableFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        TPortablePixelmap picture;
        picture.NeededSize = info.NeededSize;
        info.ErrorText = kUnknownFormat;
        if (!picture.LoadFromFile(info.FileName))
            return false;
        info.FullSize = picture.FullSize;
        info.BitsPerPixel = PortableBitsPerPixel(picture.Kind);
        return DrawIntoTarget(info, picture.GetBitmap());
    });
}
