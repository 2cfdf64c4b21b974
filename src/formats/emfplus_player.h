#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QTransform>

// The EMF+ records an enhanced metafile carries in its comments, for files whose plain records draw nothing
// (written by programs that leave the plain drawing out). A subset: solid, hatch and linear-gradient brushes,
// pens, paths, rectangles, polygons, lines, ellipses, pies, arcs, Béziers, strings, transforms, saved states
// and clipping. deviceToTarget maps the reference device onto target. True when something was drawn.
bool PlayEmfPlus(const QByteArray& bytes, QImage& target, const QTransform& deviceToTarget, QSizeF devicePixelsPerMm);
