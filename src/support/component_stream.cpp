#include "support/component_stream.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <limits>

namespace {

constexpr char kSignature[] = "TPF0";

enum ValueType : std::uint8_t {
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

// Reads exactly count bytes, refusing a count beyond what the device still holds before allocating for it.
bool ReadBytes(QIODevice& device, qint64 count, QByteArray& out)
{
    if (count < 0 || count > device.bytesAvailable())
        return false;
    out = device.read(count);
    return out.size() == count;
}

bool ReadByte(QIODevice& device, std::uint8_t& value)
{
    char c = 0;
    if (!device.getChar(&c))
        return false;
    value = std::uint8_t(c);
    return true;
}

bool ReadLittleEndian(QIODevice& device, int bytes, std::uint32_t& value)
{
    QByteArray raw;
    if (!ReadBytes(device, bytes, raw))
        return false;
    value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | std::uint8_t(raw[i]);
    return true;
}

bool ReadShortString(QIODevice& device, QByteArray& out)
{
    std::uint8_t length = 0;
    return ReadByte(device, length) && ReadBytes(device, length, out);
}

bool ReadValue(QIODevice& device, TStreamValue& value)
{
    std::uint8_t type = 0;
    if (!ReadByte(device, type))
        return false;
    std::uint32_t raw = 0;
    switch (type) {
    case kInt8:
        if (!ReadLittleEndian(device, 1, raw))
            return false;
        value.Integer = std::int8_t(raw);
        return true;
    case kInt16:
        if (!ReadLittleEndian(device, 2, raw))
            return false;
        value.Integer = std::int16_t(raw);
        return true;
    case kInt32:
        if (!ReadLittleEndian(device, 4, raw))
            return false;
        value.Integer = std::int32_t(raw);
        return true;
    case kString:
        value.Kind = TStreamValue::TKind::Text;
        return ReadShortString(device, value.Text);
    case kLongString:
        value.Kind = TStreamValue::TKind::Text;
        // A negative length (above 2 GiB as unsigned) is refused with the rest by ReadBytes.
        return ReadLittleEndian(device, 4, raw) && ReadBytes(device, std::int32_t(raw), value.Text);
    default:
        return false;
    }
}

bool ReadStream(QIODevice& device, TComponentStream& stream)
{
    QByteArray signature;
    if (!ReadBytes(device, 4, signature) || signature != kSignature)
        return false;
    if (!ReadShortString(device, stream.ClassName) || !ReadShortString(device, stream.ComponentName))
        return false;
    // Each property takes at least three bytes, so the loop ends within the data.
    for (;;) {
        std::uint8_t nameLength = 0;
        if (!ReadByte(device, nameLength))
            return false;
        if (nameLength == 0)
            break;
        TStreamProperty property;
        if (!ReadBytes(device, nameLength, property.Name) || !ReadValue(device, property.Value))
            return false;
        stream.Properties.push_back(std::move(property));
    }
    // Child components are never stored: their list must be empty.
    std::uint8_t endOfChildren = 1;
    return ReadByte(device, endOfChildren) && endOfChildren == 0;
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
    if (device.isReadable() && ReadStream(device, stream))
        return true;
    stream = {};
    return false;
}

bool ReadComponentStream(const QByteArray& data, qsizetype& offset, TComponentStream& stream)
{
    stream = {};
    if (offset < 0 || offset > data.size())
        return false;
    QByteArray shared = data;  // implicitly shared: no copy of the bytes
    QBuffer buffer(&shared);
    if (!buffer.open(QIODevice::ReadOnly) || !buffer.seek(offset))
        return false;
    if (!ReadComponentStream(buffer, stream))
        return false;
    offset = buffer.pos();
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
