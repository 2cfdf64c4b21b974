#pragma once

#include <QByteArrayView>
#include <QImage>

// A device-independent bitmap embedded in a metafile record: its info header (with colour table or masks) and
// its pixel bits, each a view into the record. Returns a null image when the bitmap is broken, claims more
// pixels than its bits can hold, or would pass the picture allocation ceiling.
QImage DecodeMetafileDib(QByteArrayView info, QByteArrayView bits);

// Same, for a packed bitmap (info header immediately followed by the bits), as WMF records carry it.
QImage DecodePackedDib(QByteArrayView packed);
