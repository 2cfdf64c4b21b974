#include "formats/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsBreak(std::uint8_t c)
{
    return c == 13 || c == 10;
}

bool IsDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

// Any byte that is not a hexadecimal digit counts as 0, as the old writers' files expect.
std::uint8_t HexValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9')
        return std::uint8_t(c - '0');
    if (c >= 'a' && c <= 'f')
        return std::uint8_t(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return std::uint8_t(c - 'A' + 10);
    return 0;
}

}  // namespace

void TByteStream::Reset()
{
    Stream = nullptr;
    BufferCount = 0;
    BufferStart = -1;
    Dirty = false;
    Size = 0;
}

bool TByteStream::Attach(QIODevice* stream)
{
    if (!stream) {
        Reset();
        return true;
    }
    if (!Flush())
        return false;
    Stream = stream;
    Size = stream->size();
    BufferCount = 0;
    BufferStart = -1;
    Dirty = false;
    return true;
}

bool TByteStream::Reload(qint64 pos)
{
    BufferStart = -1;
    BufferCount = 0;
    Dirty = false;
    if (!Stream || pos < 0)
        return false;
    if (Stream->pos() != pos && !Stream->seek(pos))
        return false;
    BufferStart = pos;
    // A stream opened only for writing has nothing to show; the window starts empty there.
    if (!Stream->isReadable())
        return true;
    const qint64 n = Stream->read(reinterpret_cast<char*>(Buffer.data()), kWindowSize);
    BufferCount = std::int32_t(std::max<qint64>(n, 0));
    return true;
}

bool TByteStream::ReloadAndRead(qint64 pos, std::uint8_t& b)
{
    if (pos < 0 || !Reload(pos))
        return false;
    if (quint64(pos - BufferStart) >= quint64(BufferCount))
        return false;
    b = Buffer[size_t(pos - BufferStart)];
    return true;
}

qint64 TByteStream::Span(qint64 pos, const std::uint8_t*& data)
{
    if (quint64(pos - BufferStart) >= quint64(BufferCount)) {
        if (pos < 0 || !Reload(pos) || quint64(pos - BufferStart) >= quint64(BufferCount))
            return 0;
    }
    const auto offset = std::int32_t(pos - BufferStart);
    data = Buffer.data() + offset;
    return BufferCount - offset;
}

bool TByteStream::WriteWindow()
{
    if (Stream->pos() != BufferStart && !Stream->seek(BufferStart))
        return false;
    return Stream->write(reinterpret_cast<const char*>(Buffer.data()), BufferCount) == BufferCount;
}

bool TByteStream::FlushAndWrite(qint64 pos, std::uint8_t b)
{
    if (pos < 0 || !Stream)
        return false;
    if (Dirty && BufferCount > 0 && !WriteWindow()) {
        BufferCount = 0;
        BufferStart = 0;
        Dirty = false;
        return false;
    }
    Reload(pos);
    // A stream that cannot be moved to pos leaves no window there; the byte cannot be written.
    if (BufferStart == -1 || quint64(pos - BufferStart) >= quint64(kWindowSize))
        return false;
    return WriteByte(pos, b);
}

bool TByteStream::Flush()
{
    if (!Stream || BufferCount <= 0 || !Dirty)
        return true;
    return WriteWindow();
}

bool TByteStream::WriteString(qint64& pos, const QByteArray& text)
{
    for (const char c : text) {
        if (!WriteByte(pos, std::uint8_t(c)))
            return false;
        ++pos;
    }
    return true;
}

bool TByteStream::ReadLine(qint64& pos, qint64 last, qint64& markPos, std::uint8_t mark, qint64& lineEnd,
                           qint64& lineStart)
{
    markPos = -1;
    if (pos < 0)
        pos = 0;
    if (last < 0)
        last = Size - 1;
    if (last < pos)
        return false;
    lineStart = pos;
    lineEnd = pos - 1;

    // Scan window by window for the first break; the comment mark is noted on the way.
    qint64 breakPos = -1;
    for (qint64 i = pos; i <= last && breakPos < 0;) {
        const std::uint8_t* data = nullptr;
        const qint64 n = std::min(Span(i, data), last - i + 1);
        if (n <= 0)
            return false;  // the stream ended before the line did
        for (qint64 k = 0; k < n; ++k) {
            const std::uint8_t c = data[k];
            if (c == mark && mark != 0 && markPos == -1)
                markPos = i + k;
            if (IsBreak(c)) {
                breakPos = i + k;
                break;
            }
        }
        i += n;
    }
    if (breakPos < 0 || breakPos == last) {
        lineEnd = breakPos < 0 ? last : last - 1;
        pos = last + 1;
        return true;
    }
    lineEnd = breakPos - 1;
    // Skip the whole run of breaks; when it reaches last, pos stays there and the next call yields an empty line.
    for (qint64 j = breakPos;; ++j) {
        pos = j;
        std::uint8_t c = 0;
        if (!ReadByte(j, c) || !IsBreak(c) || j == last)
            break;
    }
    return true;
}

qint64 TByteStream::FindByte(std::uint8_t b, qint64 first, qint64 last)
{
    for (qint64 i = first; i <= last;) {
        const std::uint8_t* data = nullptr;
        const qint64 n = std::min(Span(i, data), last - i + 1);
        if (n <= 0)
            return -1;
        if (const void* hit = std::memchr(data, b, size_t(n)))
            return i + (static_cast<const std::uint8_t*>(hit) - data);
        i += n;
    }
    return -1;
}

QByteArray TByteStream::ReadString(qint64 first, qint64 last)
{
    QByteArray text;
    for (qint64 i = first; i <= last;) {
        const std::uint8_t* data = nullptr;
        const qint64 n = std::min(Span(i, data), last - i + 1);
        if (n <= 0)
            break;
        text.append(reinterpret_cast<const char*>(data), qsizetype(n));
        i += n;
    }
    return text;
}

bool TByteStream::ParseNumbers(qint64 first, qint64 last, TNumberList& list, qint32 max)
{
    if (max > 65535 || max < 0)
        max = 65535;
    // Only the first 2048 bytes of the range take part; the codecs hand over single lines or pieces of them.
    const QByteArray line = ReadString(first, std::min(last, first + kWindowSize - 1));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.constData());
    bool stored = false;
    for (qsizetype i = line.size() - 1; i >= 0;) {
        if (!IsDigit(bytes[i])) {
            --i;
            continue;
        }
        // A run of digits, read from its right end; only its last five digits count.
        std::uint32_t value = 0;
        std::uint32_t weight = 1;
        for (int digits = 0; i >= 0 && IsDigit(bytes[i]); --i, ++digits) {
            if (digits < 5) {
                value += std::uint32_t(bytes[i] - '0') * weight;
                weight *= 10;
            }
        }
        if (list.Count < std::int32_t(list.Values.size())) {
            list.Values[size_t(list.Count++)] = std::uint16_t(std::min<std::uint32_t>(value, std::uint32_t(max)));
            stored = true;
        }
    }
    return stored;
}

bool TByteStream::PopNumber(TNumberList& list, qint32& value)
{
    if (list.Count <= 0)
        return false;
    value = list.Values[size_t(--list.Count)];
    return true;
}

bool TByteStream::ParseHexBytes(qint64 first, qint64 last, TByteList& list)
{
    bool stored = false;
    qint64 lastUsed = first - 1;
    for (qint64 i = first; i <= last; ++i) {
        std::uint8_t c = 0;
        if (!ReadByte(i, c))
            break;
        if ((c != 'x' && c != 'X') || i <= lastUsed || list.Count >= 2048)
            continue;
        std::uint8_t high = 0;
        std::uint8_t low = 0;
        if (!ReadByte(i + 1, high) || !ReadByte(i + 2, low))
            break;
        list.Data[size_t(list.Count++)] = std::uint8_t(HexValue(high) * 16 + HexValue(low));
        lastUsed = i + 2;
        stored = true;
    }
    return stored;
}

bool TByteStream::AppendHex(std::uint8_t b, TByteList& list)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::uint8_t chars[4] = {'0', 'x', std::uint8_t(kDigits[b >> 4]), std::uint8_t(kDigits[b & 15])};
    for (const std::uint8_t c : chars) {
        if (list.Count < std::int32_t(list.Data.size()))
            list.Data[size_t(list.Count++)] = c;
    }
    return true;
}
