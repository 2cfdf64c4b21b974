#pragma once

#include "formats/image_info.h"
#include "formats/open_image.h"
#include "testlib/test_env.h"

#include <QColor>
#include <QImage>

// Opens a committed test picture through the registry into target.
inline TImageInfoRec OpenTestPicture(const QString& name, QImage& target, qint32 backColor = 0x00FFFFFF,
                                     bool* ok = nullptr)
{
    TImageInfoRec info{TestDataPath(name), 0, backColor, {}, &target};
    const bool opened = GetOpenImage().OpenFile(info);
    if (ok)
        *ok = opened;
    return info;
}

// A picture the tests can recognise afterwards, to see that a failed load left it alone.
inline QImage MarkedTarget()
{
    QImage target(3, 2, QImage::Format_BGR888);
    target.fill(QColor(1, 2, 3));
    return target;
}

// Colours within a small distance: decoders may round differently by a step or two.
inline bool NearColor(const QColor& a, const QColor& b, int tolerance = 2)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
