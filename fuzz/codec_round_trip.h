#pragma once
// Shared by the codec fuzzers: read arbitrary bytes; whatever reads must save and read back to the same picture.
#include "formats/general_error.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

// worthChecking decides which read pictures take the round trip (huge ones only cost time); beforeSaving may set
// the writer's options, which must not change the picture that reads back.
template <class Picture, class Filter, class Prepare = void (*)(Picture&)>
int FuzzRoundTrip(const std::uint8_t* data, std::size_t size, Filter worthChecking,
                  Prepare beforeSaving = [](Picture&) {})
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Picture picture;
    try {
        picture.LoadFromStream(buffer);
    } catch (const EGeneralError&) {
        return 0;
    }
    if (picture.GetWidth() * qint64(picture.GetHeight()) > 100000 || !worthChecking(picture))
        return 0;
    beforeSaving(picture);
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    picture.SaveToStream(out);
    out.close();
    out.open(QIODevice::ReadOnly);
    Picture again;
    again.LoadFromStream(out);
    if (again.GetBitmap() != picture.GetBitmap())
        __builtin_trap();
    return 0;
}
