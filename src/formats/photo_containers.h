#pragma once

#include "formats/photo_metadata.h"

class QIODevice;

// The metadata Qt's readers do not hand over, found by walking the file's chunks (never their pixel data). The
// device is left at its start. Damaged or missing chunks leave metadata as it was.

// PNG: the eXIf chunk (orientation, resolution) and the pHYs chunk (resolution), before the first IDAT.
void ReadPngMetadata(QIODevice& file, TPhotoMetadata& metadata);
// WebP: the EXIF and ICCP chunks of the RIFF container.
void ReadWebpMetadata(QIODevice& file, TPhotoMetadata& metadata);
