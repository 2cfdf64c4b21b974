// PNG, GIF, TIFF and WebP through Qt's image readers, with the orientation, resolution and colour profile the
// files carry.
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/photo_containers.h"
#include "formats/photo_metadata.h"

#include "common/failure_texts.h"
#include "common/limits.h"

#include <QColorSpace>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <algorithm>

namespace {

using TMetadataReader = void (*)(QIODevice&, TPhotoMetadata&);

// Why a GIF opened only in part, worded as the JPEG library words a cut file.
const QString kPrematureGifEnd = QStringLiteral("Premature end of GIF file");

// The EXIF orientation of what Qt's TIFF reader found in the file's orientation tag.
int OrientationOf(QImageIOHandler::Transformations t)
{
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

// Qt's TIFF reader gives a resolution only through the picture, which carries a default one when the file has
// none: only a different value is the file's own.
void TakeTiffMetadata(const QImageReader& reader, const QImage& picture, TPhotoMetadata& metadata)
{
    metadata.Orientation = OrientationOf(reader.transformation());
    const QImage plain(1, 1, QImage::Format_Mono);
    if (picture.dotsPerMeterX() > 0 && picture.dotsPerMeterY() > 0 &&
        (picture.dotsPerMeterX() != plain.dotsPerMeterX() || picture.dotsPerMeterY() != plain.dotsPerMeterY())) {
        metadata.DpiX = picture.dotsPerMeterX() * 0.0254;
        metadata.DpiY = picture.dotsPerMeterY() * 0.0254;
    }
}

int SourceBitsPerPixel(const QImage& picture)
{
    if (picture.hasAlphaChannel())
        return 32;
    if (picture.depth() <= 8 || picture.isGrayscale())
        return std::min(picture.depth(), 8);
    return 24;
}

bool LoadWithQtReader(TImageInfoRec& info, const char* format, TMetadataReader readMetadata)
{
    return LoadOpenedFile(info, [&](QFile& file, QImageReader& reader) {
        TPhotoMetadata metadata;
        if (readMetadata)
            readMetadata(file, metadata);
        // Qt's GIF reader shows a cut frame as if it were whole; the file says whether it is.
        const bool cutGif = qstrcmp(format, "gif") == 0 && GifEndsInFirstFrame(file);
        reader.setDevice(&file);
        ForceReaderFormat(reader, format);
        reader.setAutoTransform(false);  // the orientation is ours to apply, or not
        const QSize size = reader.size();
        if (size.isValid() && !PictureFits(size.width(), size.height())) {
            info.ErrorText = kOutOfMemory;
            return false;
        }
        QImage source;
        if (!reader.read(&source)) {
            if (source.isNull())
                return false;
            // What the reader could decode before the damage opens; the reason goes with it.
            info.Warning = reader.errorString();
        } else if (cutGif) {
            info.Warning = kPrematureGifEnd;
        }
        if (qstrcmp(format, "tiff") == 0)
            TakeTiffMetadata(reader, source, metadata);
        if (metadata.IccProfile.isEmpty())
            metadata.IccProfile = source.colorSpace().iccProfile();

        info.BitsPerPixel = SourceBitsPerPixel(source);
        return FinishPhoto(info, source, metadata);
    });
}

}  // namespace

bool LoadPngFile(TImageInfoRec& info)
{
    return LoadWithQtReader(info, "png", ReadPngMetadata);
}

bool LoadGifFile(TImageInfoRec& info)
{
    return LoadWithQtReader(info, "gif", nullptr);
}

bool LoadTiffFile(TImageInfoRec& info)
{
    return LoadWithQtReader(info, "tiff", nullptr);
}

bool LoadWebpFile(TImageInfoRec& info)
{
    return LoadWithQtReader(info, "webp", ReadWebpMetadata);
}
