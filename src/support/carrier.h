#pragma once

#include <QByteArray>

// A 24-bit bitmap file that carries an archive in its pixel data from byte 154 on: the headers' 54 bytes, 100
// filler bytes, the archive, and filler (0xFF) to the end of the last row, at least one byte of it. Rows are 256
// pixels wide, 768 bytes, so no row padding ever falls into the archive. Empty when the file would pass 2 GiB.
QByteArray CarrierBitmap(const QByteArray& archive);
