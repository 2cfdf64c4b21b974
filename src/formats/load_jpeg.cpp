#include "formats/jpeg_decoder.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/photo_metadata.h"

#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/limits.h"

bool LoadJpegFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        TJpegDecoder decoder;

        info.ErrorText = kUnknownFormat;
        if (!decoder.OpenFile(info.FileName))
            return false;
        info.FullSize = QSize(decoder.Width(), decoder.Height());
        if (info.NeededSize) {
            const QSize needed = info.NeededSize(info.FullSize);
            decoder.ScaleToAtLeast(needed.width(), needed.height());
        }
        info.ErrorText = kOutOfMemory;
        QImage picture = NewBitmap24(decoder.OutputWidth(), decoder.OutputHeight());
        if (picture.isNull())
            return false;
        info.ErrorText = kUnknownFormat;
        if (!decoder.DecodeInto(picture))
            return false;

        info.BitsPerPixel = 24;
        info.Warning = decoder.Warning();
        return FinishPhoto(info, picture, decoder.Metadata());
    });
}
