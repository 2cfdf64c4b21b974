#include "support/zip_box.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/paths.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>

namespace {

// Where a 24-bit bitmap file carries its archive: 54 bytes of headers, then 100 filler bytes of pixel data.
constexpr qint64 kCarrierOffset = 154;

bool SameAscii(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && qstrnicmp(a.constData(), b.constData(), a.size()) == 0;
}

}  // namespace

// ---- TBoxItem -----------------------------------------------------------------------------------------------------

bool TBoxItem::ReadFrom(const TComponentStream& stream)
{
    TBoxItem read;
    for (const TStreamProperty& property : stream.Properties) {
        const QByteArray& name = property.Name;
        const TStreamValue& value = property.Value;
        QByteArray* text = SameAscii(name, "pName") ? &read.pName
                         : SameAscii(name, "pPath") ? &read.pPath
                         : SameAscii(name, "pD")    ? &read.pD
                                                    : nullptr;
        std::int32_t* number = SameAscii(name, "pSize") ? &read.pSize : SameAscii(name, "pSizeB") ? &read.pSizeB : nullptr;
        if (text && value.IsText())
            *text = value.Text;
        else if (number && value.IsInteger())
            *number = value.Integer;
        else if (SameAscii(name, "pM") && value.IsInteger() && value.Integer >= 0 && value.Integer <= 255)
            read.pM = std::uint8_t(value.Integer);
        else
            return false;
    }
    *this = std::move(read);
    return true;
}

TComponentStream TBoxItem::ToStream() const
{
    TComponentStream stream;
    stream.ClassName = "TBoxItem";
    stream.AddText("pName", pName);
    stream.AddText("pPath", pPath);
    stream.AddInteger("pSize", pSize);
    stream.AddInteger("pSizeB", pSizeB);
    stream.AddInteger("pM", pM);
    stream.AddText("pD", pD);
    return stream;
}

// ---- TZipBox: the list ---------------------------------------------------------------------------------------------

TBoxItem* TZipBox::Items(int index) const
{
    if (FItems.empty())
        return nullptr;
    return FItems[std::clamp(index, 0, Count() - 1)].get();
}

int TZipBox::IndexOf(const TBoxItem* item) const
{
    if (!item)
        return -1;
    for (int i = 0; i < Count(); ++i) {
        if (FItems[i].get() == item)
            return i;
    }
    return -1;
}

int TZipBox::Find(const QByteArray& name, const QByteArray& folder) const
{
    const bool anyFolder = folder == "*";
    for (int i = 0; i < Count(); ++i) {
        const TBoxItem& item = *FItems[i];
        if (SameAscii(item.pName, name) && (anyFolder || SameAscii(item.pPath, folder)))
            return i;
    }
    return -1;
}

bool TZipBox::Add(std::unique_ptr<TBoxItem> item)
{
    LastError = kUnexpectedError;
    if (!item)
        return false;
    if (!AllowDuplicates) {
        const int same = Find(item->pName, item->pPath);
        if (same >= 0)
            FItems.erase(FItems.begin() + same);
    }
    LastError = kCapacityReached;
    if (Count() >= kCapacity)
        return false;
    FItems.push_back(std::move(item));
    return true;
}

std::unique_ptr<TBoxItem> TZipBox::Remove(const TBoxItem* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return nullptr;
    std::unique_ptr<TBoxItem> taken = std::move(FItems[index]);
    FItems.erase(FItems.begin() + index);
    return taken;
}

void TZipBox::Delete(const TBoxItem* item)
{
    Remove(item);
}

void TZipBox::Clear()
{
    FItems.clear();
}

// ---- TZipBox: reading ----------------------------------------------------------------------------------------------

void TZipBox::ReportProgress(QIODevice& stream, qint64 start)
{
    const qint64 size = stream.size();
    const qint64 done = size > 0 ? (stream.pos() - start) * 100 / size : 100;
    Percent = std::int32_t(std::clamp<qint64>(done, 0, 100));
    CurrentIndex = Count() - 1;
    Stage = kStageReading;
    if (OnProgress)
        OnProgress(this);
}

// One pass of item streams from the device's position; false when the pass must end the whole read.
bool TZipBox::ReadItems(QIODevice& stream, qint64 start, int& added)
{
    LastError = kUnknownFormat;
    TComponentStream read;
    while (ReadComponentStream(stream, read)) {
        auto item = std::make_unique<TBoxItem>();
        if (!item->ReadFrom(read))
            break;
        if (!Add(std::move(item)))
            return false;
        ++added;
        ReportProgress(stream, start);
        if (Cancelled) {
            LastError = kTaskCancelled;
            return false;
        }
    }
    return true;
}

bool TZipBox::LoadFromStream(QIODevice& stream, bool append)
{
    return GuardedInto(LastError, [&] {
        LastError = kOutOfMemory;
        Cancelled = false;
        const qint64 start = stream.pos();
        if (!append)
            Clear();
        int added = 0;
        if (!ReadItems(stream, start, added))
            return false;
        if (added > 0)
            return true;
        // Nothing at the start: perhaps a bitmap file carrying the archive in its pixel data.
        if (start + kCarrierOffset > stream.size() || !stream.seek(start + kCarrierOffset))
            return false;
        return ReadItems(stream, start, added) && added > 0;
    });
}

// ---- TZipBox: content ----------------------------------------------------------------------------------------------

bool TZipBox::GetData(const TBoxItem* item, QIODevice& target)
{
    if (!item) {
        LastError = kUnexpectedError;
        return false;
    }
    return GuardedInto(LastError, [&] {
        LastError = kOutOfMemory;
        QByteArray content = item->pD;
        if (item->pM == 1) {
            if (!GetZipHandler()->Inflate(content, LastError))
                return false;
        } else if (item->pM != 0) {
            LastError = kUnsupportedEncoding;
            return false;
        }
        // A short write is a failure too: the target has not got the content.
        return target.write(content) == content.size();
    });
}

bool TZipBox::ExtractToFile(const TBoxItem* item, const QString& fileName, bool overwrite)
{
    if (!overwrite && QFileInfo::exists(fileName))
        return true;
    LastError = kOutOfMemory;
    QByteArray content;
    {
        QBuffer buffer(&content);
        buffer.open(QIODevice::WriteOnly);
        if (!GetData(item, buffer))
            return false;
    }
    LastError = kFileInUse;
    if (!GetPaths().DeleteFileForced(fileName))
        return false;
    // Written beside the target and renamed over it, so a full disk never leaves half a file.
    LastError = kOutOfDiskSpace;
    QSaveFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

// ---- TZipHandler ---------------------------------------------------------------------------------------------------

bool TZipHandler::Inflate(QByteArray& data, QString& failure)
{
    failure = kOutOfMemory;
    LastError = kOutOfMemory;
    constexpr qsizetype kStep = 65536;
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(data.data());
    QByteArray out;
    int status = Z_OK;
    qsizetype fed = 0;
    const QString stopped = Guarded([&] {
        while (status == Z_OK) {
            // Feed the input in steps: avail_in is 32 bits wide.
            if (z.avail_in == 0 && fed < data.size()) {
                const qsizetype chunk = std::min<qsizetype>(data.size() - fed, qsizetype(1) << 30);
                z.next_in = reinterpret_cast<Bytef*>(data.data() + fed);
                z.avail_in = uInt(chunk);
                fed += chunk;
            }
            if (out.size() >= kMaxInflated)
                break;
            const qsizetype before = out.size();
            out.resize(before + std::min(kStep, kMaxInflated - before));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
            z.avail_out = uInt(out.size() - before);
            status = inflate(&z, Z_NO_FLUSH);
            out.resize(out.size() - z.avail_out);
            // No progress with all input given: the stream is cut short.
            if (status == Z_BUF_ERROR && z.avail_in == 0 && fed == data.size())
                break;
            if (status == Z_BUF_ERROR)
                status = Z_OK;
        }
    });
    if (!stopped.isEmpty())
        status = Z_MEM_ERROR;
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        return false;
    data = std::move(out);
    return true;
}

TZipHandler* GetZipHandler()
{
    static TZipHandler handler;
    return &handler;
}
