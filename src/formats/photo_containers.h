#pragma once

#include "formats/photo_metadata.h"

class QIODevice;

// The metadata Qt's readers do not hand over, found by walking the file's chunks (never their pixel data). The
// device is left at its start. Damaged or missing chunks leave metadata as it was.

// PNG: the eXIf chunk (orientation, resolution) and the pHYs chunk (resolution), before the first IDAT.
void ReadPngMetadata(QIODevice& file, TPhotoMetadata& metadata);
// WebP: the EXIF and ICCP chunks of the RIFF container.
void ReadWebpMetadata(QIODevice& file, TPhotoMetadata& metadata);

// GIF: true when the file ends before the data of its first frame does (Qt's reader then shows what it decoded
// without a word). Extensions before the frame are skipped; a file that is no GIF is not cut.
bool GifEndsInFirstFrame(QIODevice& file);
