#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <cmath>

// Small geometry checks shared by the metafile canvas's state, painting and bitmap files.
namespace metafile_detail {

// A transform built from a hostile file may hold infinities or NaNs, which Qt must never see.
inline bool Finite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
           std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23()) &&
           std::isfinite(t.m33());
}

inline QPainterPath RectPath(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    return path;
}

}  // namespace metafile_detail
