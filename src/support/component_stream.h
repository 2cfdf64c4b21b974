#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

class QIODevice;

// The framework's binary form of one component's published properties, as the language file and the archives
// store them: "TPF0", the class name and the component name as short strings, then each property as a short-string
// name, a value-type byte and the value, a zero byte ending the properties and a zero byte ending the (always
// empty) list of child components. Only the value types the program's files use are understood: signed integers
// of 1, 2 and 4 bytes (types 2, 3, 4) and texts with a 1-byte or 4-byte length (types 6, 12).

// One property value: a signed integer or a byte text.
struct TStreamValue {
    enum class TKind { Integer, Text };
    TKind Kind = TKind::Integer;
    std::int32_t Integer = 0;
    QByteArray Text;

    bool IsInteger() const { return Kind == TKind::Integer; }
    bool IsText() const { return Kind == TKind::Text; }
};

struct TStreamProperty {
    QByteArray Name;
    TStreamValue Value;
};

struct TComponentStream {
    QByteArray ClassName;
    QByteArray ComponentName;
    // In the order they stand in the stream.
    std::vector<TStreamProperty> Properties;

    void AddInteger(const QByteArray& name, std::int32_t value);
    void AddText(const QByteArray& name, const QByteArray& value);
    // The property of that name (ASCII letter case ignored) that applying them in order would leave in force,
    // that is the last one; null when there is none.
    const TStreamValue* Find(const QByteArray& name) const;
};

// Reads one stream from the device's position. On success the device stands just after the stream; on failure
// (not a stream, a value type outside the five, a length beyond the data) the result is false, the stream is
// left empty and the device's position is unspecified. Every length is checked against the bytes left before
// anything is allocated. A QBuffer is read in place; another device through a copy of the bytes it has left, so
// reading a long chain of streams belongs in a buffer.
bool ReadComponentStream(QIODevice& device, TComponentStream& stream);
// The same over bytes in memory, from offset; on success offset stands just after the stream.
bool ReadComponentStream(const QByteArray& data, qsizetype& offset, TComponentStream& stream);

// The stream's bytes: each integer in the smallest of the three types that holds it, texts of up to 255 bytes as
// type 6 and longer ones as type 12; a text property whose value is empty is left out. Names longer than 255
// bytes are cut to 255 (a short string cannot hold more).
QByteArray WriteComponentStream(const TComponentStream& stream);
// Writes the bytes at the device's position; true when all of them were written.
bool WriteComponentStream(QIODevice& device, const TComponentStream& stream);
