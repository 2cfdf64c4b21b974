#include "formats/icon_directory.h"

#include "common/limits.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <set>

namespace {

constexpr qint64 kHeaderBytes = 6;
constexpr qint64 kEntryBytes = 16;
constexpr qint64 kPngHeadBytes = 24;  // signature, IHDR length and type, width, height
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::uint16_t U16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

std::uint32_t U32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// The PNG header at the entry's data, when there is one.
void ReadPngHead(QIODevice& file, TIconEntry& entry)
{
    if (entry.Bytes < kPngHeadBytes || !file.seek(entry.Offset))
        return;
    const QByteArray head = file.read(kPngHeadBytes);
    if (head.size() != kPngHeadBytes || !head.startsWith(kPngSignature))
        return;
    entry.Png = true;
    const quint32 w = qFromBigEndian<quint32>(head.constData() + 16);
    const quint32 h = qFromBigEndian<quint32>(head.constData() + 20);
    entry.PngSize = QSize(int(std::min<quint32>(w, INT32_MAX)), int(std::min<quint32>(h, INT32_MAX)));
}

}  // namespace

std::vector<TIconEntry> ReadIconDirectory(QIODevice& file)
{
    std::vector<TIconEntry> entries;
    const qint64 fileSize = file.size();
    if (!file.seek(0))
        return entries;
    const QByteArray header = file.read(kHeaderBytes);
    if (header.size() != kHeaderBytes || U16(header, 0) != 0 || (U16(header, 2) != 1 && U16(header, 2) != 2))
        return entries;
    // No more entries than the file has room for: a hostile count would have us look at thousands of pictures
    // that are not there.
    const qint64 room = (fileSize - kHeaderBytes) / kEntryBytes;
    const int count = int(std::min<qint64>(U16(header, 4), std::max<qint64>(room, 0)));
    const QByteArray directory = file.read(count * kEntryBytes);
    for (int i = 0; i < count && (i + 1) * kEntryBytes <= directory.size(); ++i) {
        const qsizetype at = i * kEntryBytes;
        TIconEntry entry;
        entry.Index = i;
        const int w = std::uint8_t(directory.at(at));
        const int h = std::uint8_t(directory.at(at + 1));
        entry.Size = QSize(w == 0 ? 256 : w, h == 0 ? 256 : h);
        entry.Bytes = U32(directory, at + 8);
        entry.Offset = U32(directory, at + 12);
        if (entry.Offset > fileSize || entry.Bytes > fileSize - entry.Offset)
            continue;
        entries.push_back(entry);
    }
    for (TIconEntry& entry : entries)
        ReadPngHead(file, entry);
    std::stable_sort(entries.begin(), entries.end(), [](const TIconEntry& a, const TIconEntry& b) {
        return qint64(a.Size.width()) * a.Size.height() > qint64(b.Size.width()) * b.Size.height();
    });
    return entries;
}

bool PngMatchesEntry(const TIconEntry& entry)
{
    const auto side = [](int stated, int own) {
        return own == stated || (stated == 256 && own > 256 && own <= kMaxLargeIcon);
    };
    return side(entry.Size.width(), entry.PngSize.width()) && side(entry.Size.height(), entry.PngSize.height());
}

std::vector<TIconEntry> IconDecodeOrder(QIODevice& file)
{
    std::vector<TIconEntry> order;
    std::set<std::uint32_t> offsets;
    for (const TIconEntry& entry : ReadIconDirectory(file)) {
        if (int(order.size()) >= kMaxIconDecodes)
            break;
        if (!PictureFits(entry.Size.width(), entry.Size.height()) || (entry.Png && !PngMatchesEntry(entry)))
            continue;
        if (offsets.insert(entry.Offset).second)
            order.push_back(entry);
    }
    return order;
}
