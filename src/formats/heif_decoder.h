#pragma once

#include "formats/photo_metadata.h"

#include <QImage>
#include <QString>

#include <cstddef>

// HEIC, HEIF and AVIF through libheif: the primary picture, 8 bits per channel, with its colour profile and the
// resolution of its EXIF block. The container's own turning and mirroring (how phones record the camera's
// orientation) is applied unless applyTransformations is false. On false, errorText says why ("Unknown format",
// "Out of memory"); sizes beyond the picture ceiling are refused before anything is decoded. A picture libheif
// could decode only with damage comes with its first warning in warning.
struct THeifResult {
    QImage Picture;
    TPhotoMetadata Metadata;
    QString Warning;
};
bool DecodeHeifFile(const QString& fileName, bool applyTransformations, THeifResult& result, QString& errorText);
bool DecodeHeifMemory(const void* data, std::size_t size, bool applyTransformations, THeifResult& result,
                      QString& errorText);
