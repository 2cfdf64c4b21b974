#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QRectF>

#include <vector>

// A device-independent bitmap embedded in a metafile record: its info header (with colour table or masks) and
// its pixel bits, each a view into the record. Returns a null image when the bitmap is broken, claims more
// pixels than its bits can hold, or would pass the picture allocation ceiling.
// With paletteIndices (DIB_PAL_COLORS) the colour table holds 16-bit indices into palette, the palette selected
// where the bitmap is drawn.
QImage DecodeMetafileDib(QByteArrayView info, QByteArrayView bits, const std::vector<QRgb>& palette = {},
                         bool paletteIndices = false);

// Same, for a packed bitmap (info header immediately followed by the bits), as WMF records carry it. A palette
// bitmap with no room for its colour table before the bits takes its colours from palette.
QImage DecodePackedDib(QByteArrayView packed, const std::vector<QRgb>& palette = {}, bool paletteIndices = false);

// A DIB source rectangle as StretchDIBits and SetDIBitsToDevice give it (rows counted from the bottom in a
// bottom-up bitmap) turned into rows from the top of the decoded picture. info starts with the info header.
QRectF DibSourceFromTop(QByteArrayView info, QRectF source, int imageHeight);
