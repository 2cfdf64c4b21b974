#pragma once

#include <QImage>
#include <QString>

// One picture-load request: the caller fills the inputs, the loader the outputs.
struct TImageInfoRec {
    QString FileName;           // in: full name of the file to open
    qint32 BitsPerPixel = 24;   // out: colour depth of the source as the loader saw it
    qint32 BackColor = -1;      // in: 0x00BBGGRR painted under an icon; -1 means none
    QString ErrorText;          // out: reason of a failure
    QImage* Bitmap = nullptr;   // in: target picture, not owned; replaced by a successful load
};
