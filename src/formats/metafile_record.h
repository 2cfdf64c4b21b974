#pragma once

#include <QByteArrayView>
#include <QPointF>
#include <QRectF>
#include <QtEndian>

#include <cstdint>
#include <cstring>

// One record's bytes. Every read is bounds-checked: a field past the record's end reads as zero, so a short or
// lying record can only draw wrongly, never read outside the file. Arrays are checked with Fits before a loop.
class TRecordView {
public:
    TRecordView(const char* data, qsizetype size) : FData(data), FSize(size) {}

    qsizetype Size() const { return FSize; }
    const char* Data() const { return FData; }

    // True when count items of itemSize bytes starting at offset lie inside the record (no overflow).
    bool Fits(std::uint64_t offset, std::uint64_t count, std::uint64_t itemSize) const
    {
        const auto size = std::uint64_t(FSize);
        if (offset > size || itemSize == 0)
            return offset <= size;
        return count <= (size - offset) / itemSize;
    }

    QByteArrayView Bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!Fits(offset, length, 1))
            return {};
        return QByteArrayView(FData + offset, qsizetype(length));
    }

    std::uint32_t U32(std::uint64_t at) const { return Read<std::uint32_t>(at); }
    std::int32_t I32(std::uint64_t at) const { return Read<std::int32_t>(at); }
    std::uint16_t U16(std::uint64_t at) const { return Read<std::uint16_t>(at); }
    std::int16_t I16(std::uint64_t at) const { return Read<std::int16_t>(at); }
    std::uint8_t U8(std::uint64_t at) const { return Read<std::uint8_t>(at); }
    float F32(std::uint64_t at) const
    {
        const std::uint32_t bits = U32(at);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    QPointF PointL(std::uint64_t at) const { return QPointF(I32(at), I32(at + 4)); }
    QPointF Point16(std::uint64_t at) const { return QPointF(I16(at), I16(at + 2)); }
    // left, top, right, bottom as 32-bit values.
    QRectF RectL(std::uint64_t at) const { return QRectF(PointL(at), PointL(at + 8)); }

private:
    template <class T>
    T Read(std::uint64_t at) const
    {
        if (!Fits(at, 1, sizeof(T)))
            return T(0);
        return qFromLittleEndian<T>(FData + at);
    }

    const char* FData;
    qsizetype FSize;
};
