#pragma once

#include "formats/image_info.h"

#include <QString>

class QImageReader;

// First step of every loader: BitsPerPixel back to 24, no resolution and no warning; false with "Index out of range" without a target and
// with "File not found" when the file does not exist.
bool PrepareInfo(TImageInfoRec& info);

// A natural size as the target's size: sizes below 1 become 1.
int AtLeastOne(int n);

// Last step of every loader: makes the target a 24-bit picture of the source's size (at least 1 x 1) holding
// the source drawn at (0,0). "Out of memory" stays in ErrorText when the size is refused or cannot be allocated;
// the target is then untouched.
bool DrawIntoTarget(TImageInfoRec& info, const QImage& source);

// Lets Qt's readers allocate what the picture ceiling allows (they decode at up to 32 bits per pixel).
void SetReaderAllocationLimit();

// Qt's reader of the format, forced: the file's content never chooses another reader.
void ForceReaderFormat(QImageReader& reader, const char* format);
