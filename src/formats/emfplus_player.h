#pragma once

#include "formats/metafile_player.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QTransform>

// The EMF+ records an enhanced metafile carries in its comments, for files whose plain records draw nothing
// (written by programs that leave the plain drawing out). A subset: solid, hatch and linear-gradient brushes,
// pens, paths, rectangles, polygons, lines, ellipses, pies, arcs, Béziers, strings, transforms, saved states
// and clipping. deviceToTarget maps the reference device onto target. Playback shares the work budget of the
// plain records' pass, which spent spentWork of it, and stops with what it drew once the budget runs out.
TPlayback PlayEmfPlus(const QByteArray& bytes, QImage& target, const QTransform& deviceToTarget,
                      QSizeF devicePixelsPerMm, std::int64_t spentWork);
