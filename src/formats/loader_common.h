#pragma once

#include "formats/image_info.h"

#include "common/failure_texts.h"
#include "common/guarded.h"

#include <QFile>
#include <QImageReader>
#include <QString>

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

// The opening the loaders through Qt's readers share: the file opened and a reader whose allocations the picture
// ceiling bounds, handed to load(file, reader) inside the guard against running out of memory. "Out of memory"
// stays when they cannot be made; "Unknown format" is set before the file is opened, for load to keep or replace.
template <class Load>
bool LoadOpenedFile(TImageInfoRec& info, Load&& load)
{
    if (!PrepareInfo(info))
        return false;
    return GuardedOr(false, [&] {
        info.ErrorText = kOutOfMemory;
        QFile file(info.FileName);
        QImageReader reader;
        SetReaderAllocationLimit();

        info.ErrorText = kUnknownFormat;
        if (!file.open(QIODevice::ReadOnly))
            return false;
        return load(file, reader);
    });
}
