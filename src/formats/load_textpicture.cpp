#include "formats/loader_common.h"
#include "formats/loaders.h"

// Not readable yet: the registry lists the format, and opening one answers "Unknown format".
bool LoadTextPictureFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    info.ErrorText = "Unknown format";
    return false;
}
