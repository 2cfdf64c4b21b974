#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <utility>

// One picture-load request: the caller fills the inputs, the loader the outputs.
struct TImageInfoRec {
    // The request's first five fields in order, as callers write them; the photo fields keep their defaults.
    TImageInfoRec(QString fileName = {}, qint32 bitsPerPixel = 24, qint32 backColor = -1, QString errorText = {},
                  QImage* bitmap = nullptr)
        : FileName(std::move(fileName)), BitsPerPixel(bitsPerPixel), BackColor(backColor),
          ErrorText(std::move(errorText)), Bitmap(bitmap)
    {
    }

    QString FileName;           // in: full name of the file to open
    qint32 BitsPerPixel = 24;   // out: colour depth of the source as the loader saw it
    qint32 BackColor = -1;      // in: 0x00BBGGRR painted under an icon; -1 means none
    QString ErrorText;          // out: reason of a failure
    QImage* Bitmap = nullptr;   // in: target picture, not owned; replaced by a successful load
    bool AutoRotate = true;     // in: photos are turned upright by the orientation their camera recorded
    double DpiX = 0;            // out: the picture's own resolution in pixels per inch; 0 when it has none
    double DpiY = 0;
    QString Warning;            // out: why a picture that opened could only partly be read; empty when whole
    // in: set when the picture will only be printed: given the picture's full size, the smallest size it is
    // needed at. A loader that can cheaply decode a reduced picture (JPEG) may deliver any size at or above it;
    // the others ignore it.
    std::function<QSize(QSize fullSize)> NeededSize = {};
    // out: the picture's full size, turned like the delivered picture; differs from the delivered size only
    // after a reduced decode. Invalid when the loader does not say (its picture is then full size).
    QSize FullSize = {};
};
