#pragma once

#include "support/component_stream.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// One named file of an archive. The properties stand in the archive in this order.
class TBoxItem {
public:
    QByteArray pName;          // file name, e.g. "index.html"
    QByteArray pPath;          // folder inside the archive, backslash-separated with a trailing backslash
    std::int32_t pSize = 0;    // size after inflation (informational)
    std::int32_t pSizeB = 0;   // size of pD (informational)
    std::uint8_t pM = 0;       // 0 stored as is, 1 a zlib stream
    QByteArray pD;             // the stored bytes

    // Takes the item's properties from one stream; false for a property the item does not have, a value of the
    // wrong kind or a method outside 0..255. The item is left as it was on false.
    bool ReadFrom(const TComponentStream& stream);
    // The item as the archive stores it: class "TBoxItem", no component name.
    TComponentStream ToStream() const;
};

// The items of one archive, in memory: read from a stream, found by name and folder, extracted inflated.
class TZipBox {
public:
    static constexpr int kCapacity = 10002;
    static constexpr int kStageReading = 4;

    bool AllowDuplicates = false;
    std::int32_t Percent = 0;
    std::int32_t CurrentIndex = -1;
    std::int32_t Stage = 0;
    std::function<void(TZipBox*)> OnProgress;
    QString LastError;
    // Set by a progress handler to stop a running read.
    bool Cancelled = false;

    // Reads item streams from the device's position on; with none there, once more from 154 bytes further on,
    // where a 24-bit bitmap file carries its archive. True when at least one item was read. Without append the
    // box is emptied first.
    bool LoadFromStream(QIODevice& stream, bool append);

    int Count() const { return int(FItems.size()); }
    // The item at the index clamped into the box; null when the box is empty.
    TBoxItem* Items(int index) const;
    int IndexOf(const TBoxItem* item) const;
    // The first item of that name in that folder, ASCII letter case ignored; the folder "*" matches any. -1 if none.
    int Find(const QByteArray& name, const QByteArray& folder) const;
    // Takes the item. Unless duplicates are allowed, an item of the same name and folder goes first. False (and
    // the item freed) when there is no item or the box is full.
    bool Add(std::unique_ptr<TBoxItem> item);
    // Takes the item out of the box and hands it back; null when it was not in the box.
    std::unique_ptr<TBoxItem> Remove(const TBoxItem* item);
    void Delete(const TBoxItem* item);
    void Clear();

    // Writes the item's content, inflated as its method says, at the target's position.
    bool GetData(const TBoxItem* item, QIODevice& target);
    // Writes the item's content to the file. Without overwrite an existing file is left untouched (true).
    bool ExtractToFile(const TBoxItem* item, const QString& fileName, bool overwrite);

private:
    bool ReadItems(QIODevice& stream, qint64 start, int& added);
    void ReportProgress(QIODevice& stream, qint64 start);

    std::vector<std::unique_ptr<TBoxItem>> FItems;
};

// The inflater of the archives' deflated items.
class TZipHandler {
public:
    // No item of the program's archives comes near this; a deflate bomb stops here instead of taking all memory.
    static constexpr qsizetype kMaxInflated = qsizetype(64) << 20;

    QString LastError;

    // Replaces data, a zlib stream, by its inflated bytes. Corrupt or truncated data, or more than kMaxInflated
    // bytes, give false with "Out of memory" in failure and LastError; data is then unchanged.
    bool Inflate(QByteArray& data, QString& failure);
};

// The one inflater, created on first use.
TZipHandler* GetZipHandler();
