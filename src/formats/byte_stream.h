#pragma once

#include <QIODevice>
#include <QString>

#include <array>
#include <cstdint>

// Up to 2048 numbers of one text line, stored right to left so that PopNumber yields them left to right.
struct TNumberList {
    std::array<std::uint16_t, 2048> Values{};
    std::int32_t Count = 0;
};

// Bytes of one use: the bits of a byte, bytes parsed from hexadecimal text, or the characters of a hex number.
struct TByteList {
    std::array<std::uint8_t, 2052> Data{};
    std::int32_t Count = 0;
};

// Random access to the bytes of a stream by absolute position through one 2048-byte window. Used either for
// reading or for writing, never both in one pass: a window reload does not save written bytes, the block flush
// of WriteByte and Flush do. Stream errors never escape: they become a false result, -1 or a shorter text.
class TByteStream {
public:
    static constexpr int kWindowSize = 2048;

    TByteStream() { Reset(); }
    ~TByteStream() { Flush(); }
    TByteStream(const TByteStream&) = delete;
    TByteStream& operator=(const TByteStream&) = delete;

    void Reset();
    // Flushes the old stream first; when that fails the old stream stays attached and false is returned.
    bool Attach(QIODevice* stream);

    bool ReadByte(qint64 pos, std::uint8_t& b)
    {
        // One unsigned compare covers both ends of the window, and an empty window (BufferCount 0).
        if (quint64(pos - BufferStart) < quint64(BufferCount)) {
            b = Buffer[size_t(pos - BufferStart)];
            return true;
        }
        return ReloadAndRead(pos, b);
    }

    bool WriteByte(qint64 pos, std::uint8_t b)
    {
        if (BufferStart != -1 && quint64(pos - BufferStart) < quint64(kWindowSize)) {
            const auto offset = std::int32_t(pos - BufferStart);
            Buffer[size_t(offset)] = b;
            if (offset >= BufferCount) {
                BufferCount = offset + 1;
                Size = std::max(Size, BufferStart + BufferCount);
            }
            Dirty = true;
            return true;
        }
        return FlushAndWrite(pos, b);
    }

    bool Flush();
    bool WriteString(qint64& pos, const QByteArray& text);
    bool ReadLine(qint64& pos, qint64 last, qint64& markPos, std::uint8_t mark, qint64& lineEnd, qint64& lineStart);
    qint64 FindByte(std::uint8_t b, qint64 first, qint64 last);
    QByteArray ReadString(qint64 first, qint64 last);
    bool ParseNumbers(qint64 first, qint64 last, TNumberList& list, qint32 max);
    static bool PopNumber(TNumberList& list, qint32& value);
    bool ParseHexBytes(qint64 first, qint64 last, TByteList& list);
    static bool AppendHex(std::uint8_t b, TByteList& list);

    // The bytes from pos to the end of the window (reloading it at pos when pos lies outside): a pointer into the
    // window and how many bytes follow; 0 at the end of the stream. Lets bulk readers scan without a call per byte.
    qint64 Span(qint64 pos, const std::uint8_t*& data);

    qint64 GetSize() const { return Size; }
    QIODevice* GetStream() const { return Stream; }

private:
    bool ReloadAndRead(qint64 pos, std::uint8_t& b);
    bool Reload(qint64 pos);
    bool FlushAndWrite(qint64 pos, std::uint8_t b);
    bool WriteWindow();

    QIODevice* Stream = nullptr;
    std::array<std::uint8_t, kWindowSize> Buffer{};
    qint64 BufferStart = -1;
    std::int32_t BufferCount = 0;
    bool Dirty = false;
    qint64 Size = 0;
};
