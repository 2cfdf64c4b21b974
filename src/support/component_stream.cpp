#include "support/component_stream.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr char kSignature[] = "TPF0";

enum TValueType : std::uint8_t {
    kInt8 = 2,
    kInt16 = 3,
    kInt32 = 4,
    kString = 6,
    kLongString = 12,
};

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && qstrnicmp(a.constData(), b.constData(), a.size()) == 0;
}

// The bytes being read and the reading position; every read checks what is left before it takes anything.
struct TCursor {
    const char* Data = nullptr;
    qsizetype Size = 0;
    qsizetype Pos = 0;

    qsizetype Left() const { return Size - Pos; }

    bool Bytes(qint64 count, QByteArray& out)
    {
        if (count < 0 || count > Left())
            return false;
        out = QByteArray(Data + Pos, qsizetype(count));
        Pos += qsizetype(count);
        return true;
    }

    bool Byte(std::uint8_t& value)
    {
        if (Left() < 1)
            return false;
        value = std::uint8_t(Data[Pos++]);
        return true;
    }

    bool LittleEndian(int bytes, std::uint32_t& value)
    {
        if (Left() < bytes)
            return false;
        value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | std::uint8_t(Data[Pos + i]);
        Pos += bytes;
        return true;
    }

    bool ShortString(QByteArray& out)
    {
        std::uint8_t length = 0;
        return Byte(length) && Bytes(length, out);
    }
};

bool ReadValue(TCursor& in, TStreamValue& value)
{
    std::uint8_t type = 0;
    if (!in.Byte(type))
        return false;
    std::uint32_t raw = 0;
    switch (type) {
    case kInt8:
        if (!in.LittleEndian(1, raw))
            return false;
        value.Integer = std::int8_t(raw);
        return true;
    case kInt16:
        if (!in.LittleEndian(2, raw))
            return false;
        value.Integer = std::int16_t(raw);
        return true;
    case kInt32:
        if (!in.LittleEndian(4, raw))
            return false;
        value.Integer = std::int32_t(raw);
        return true;
    case kString:
        value.Kind = TStreamValue::TKind::Text;
        return in.ShortString(value.Text);
    case kLongString:
        value.Kind = TStreamValue::TKind::Text;
        // A negative length (above 2 GiB as unsigned) is refused with the rest by Bytes.
        return in.LittleEndian(4, raw) && in.Bytes(std::int32_t(raw), value.Text);
    default:
        return false;
    }
}

bool ReadStream(TCursor& in, TComponentStream& stream)
{
    if (in.Left() < 4 || std::memcmp(in.Data + in.Pos, kSignature, 4) != 0)
        return false;
    in.Pos += 4;
    if (!in.ShortString(stream.ClassName) || !in.ShortString(stream.ComponentName))
        return false;
    // Each property takes at least three bytes, so the loop ends within the data.
    for (;;) {
        std::uint8_t nameLength = 0;
        if (!in.Byte(nameLength))
            return false;
        if (nameLength == 0)
            break;
        TStreamProperty property;
        if (!in.Bytes(nameLength, property.Name) || !ReadValue(in, property.Value))
            return false;
        stream.Properties.push_back(std::move(property));
    }
    // Child components are never stored: their list must be empty.
    std::uint8_t endOfChildren = 1;
    return in.Byte(endOfChildren) && endOfChildren == 0;
}

bool ReadFrom(TCursor& in, TComponentStream& stream)
{
    stream = {};
    if (ReadStream(in, stream))
        return true;
    stream = {};
    return false;
}

void WriteShortString(QByteArray& out, const QByteArray& text)
{
    const qsizetype length = std::min<qsizetype>(text.size(), 255);
    out.append(char(length));
    out.append(text.constData(), length);
}

void WriteLittleEndian(QByteArray& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void WriteValue(QByteArray& out, const TStreamValue& value)
{
    if (value.IsText()) {
        if (value.Text.size() <= 255) {
            out.append(char(kString));
            WriteShortString(out, value.Text);
        } else {
            out.append(char(kLongString));
            WriteLittleEndian(out, std::uint32_t(value.Text.size()), 4);
            out.append(value.Text);
        }
        return;
    }
    const std::int32_t v = value.Integer;
    if (v >= std::numeric_limits<std::int8_t>::min() && v <= std::numeric_limits<std::int8_t>::max()) {
        out.append(char(kInt8));
        WriteLittleEndian(out, std::uint32_t(v), 1);
    } else if (v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max()) {
        out.append(char(kInt16));
        WriteLittleEndian(out, std::uint32_t(v), 2);
    } else {
        out.append(char(kInt32));
        WriteLittleEndian(out, std::uint32_t(v), 4);
    }
}

}  // namespace

void TComponentStream::AddInteger(const QByteArray& name, std::int32_t value)
{
    TStreamProperty property;
    property.Name = name;
    property.Value.Integer = value;
    Properties.push_back(std::move(property));
}

void TComponentStream::AddText(const QByteArray& name, const QByteArray& value)
{
    TStreamProperty property;
    property.Name = name;
    property.Value.Kind = TStreamValue::TKind::Text;
    property.Value.Text = value;
    Properties.push_back(std::move(property));
}

const TStreamValue* TComponentStream::Find(const QByteArray& name) const
{
    for (auto it = Properties.rbegin(); it != Properties.rend(); ++it) {
        if (SameName(it->Name, name))
            return &it->Value;
    }
    return nullptr;
}

bool ReadComponentStream(QIODevice& device, TComponentStream& stream)
{
    stream = {};
    if (!device.isReadable())
        return false;
    // A buffer is read in place; any other device through the bytes it has left.
    QByteArray rest;
    auto* buffer = qobject_cast<QBuffer*>(&device);
    const QByteArray& bytes = buffer ? buffer->data() : (rest = device.peek(device.bytesAvailable()));
    const qsizetype start = buffer ? qsizetype(buffer->pos()) : 0;
    TCursor in{bytes.constData(), bytes.size(), std::min(start, bytes.size())};
    if (!ReadFrom(in, stream))
        return false;
    const qint64 consumed = in.Pos - start;
    return device.skip(consumed) == consumed;
}

bool ReadComponentStream(const QByteArray& data, qsizetype& offset, TComponentStream& stream)
{
    stream = {};
    if (offset < 0 || offset > data.size())
        return false;
    TCursor in{data.constData(), data.size(), offset};
    if (!ReadFrom(in, stream))
        return false;
    offset = in.Pos;
    return true;
}

QByteArray WriteComponentStream(const TComponentStream& stream)
{
    QByteArray out(kSignature);
    WriteShortString(out, stream.ClassName);
    WriteShortString(out, stream.ComponentName);
    for (const TStreamProperty& property : stream.Properties) {
        if (property.Name.isEmpty() || (property.Value.IsText() && property.Value.Text.isEmpty()))
            continue;  // an empty name would end the properties early; an empty text is not stored
        WriteShortString(out, property.Name);
        WriteValue(out, property.Value);
    }
    out.append('\0');  // end of the properties
    out.append('\0');  // end of the child components
    return out;
}

bool WriteComponentStream(QIODevice& device, const TComponentStream& stream)
{
    const QByteArray bytes = WriteComponentStream(stream);
    return device.write(bytes) == bytes.size();
}
