#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/limits.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/metafile_player.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <memory>

namespace {

struct TMetafileFormat {
    bool (*NaturalSize)(const QByteArray&, QSize&);
    TPlayback (*Play)(const QByteArray&, QImage&);
};

// The extension chooses the format, as for every loader; the content is never sniffed.
TMetafileFormat FormatOf(const QString& fileName)
{
    if (QFileInfo(fileName).suffix().compare("EMF", Qt::CaseInsensitive) == 0)
        return {EmfNaturalSize, PlayEmf};
    return {WmfNaturalSize, PlayWmf};
}

bool ReadWholeFile(const QString& fileName, QByteArray& bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureBytes)
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Rows of 32-bit pixels packed down to 24-bit rows in the same memory, front to back: every pixel's new place
// lies at or before its old one, so nothing is overwritten before it is read.
void PackTo24(uchar* bytes, int w, int h, qsizetype stride24)
{
    for (int y = 0; y < h; ++y) {
        const uchar* from = bytes + qsizetype(y) * w * 4;
        uchar* to = bytes + qsizetype(y) * stride24;
        for (int x = 0; x < w; ++x, from += 4, to += 3) {
            const QRgb pixel = *reinterpret_cast<const QRgb*>(from);
            to[0] = uchar(qBlue(pixel));
            to[1] = uchar(qGreen(pixel));
            to[2] = uchar(qRed(pixel));
        }
    }
}

// Plays into a 32-bit surface (raster operations need one) on white paper, then turns that same memory into the
// 24-bit picture: a load never holds two copies of the picture. Records that all draw nothing are a picture
// we cannot show, not a white one; only a file with no records at all is the empty drawing it says it is.
bool Render(TImageInfoRec& info, const TMetafileFormat& format, const QByteArray& bytes, QSize natural)
{
    info.ErrorText = kOutOfMemory;
    const int w = AtLeastOne(natural.width());
    const int h = AtLeastOne(natural.height());
    if (!PictureFits(w, h) || std::int64_t(w) * 4 > kMaxPictureBytes / h)  // the 32-bit surface itself
        return false;
    const qsizetype stride32 = qsizetype(w) * 4;
    const qsizetype stride24 = (qsizetype(w) * 3 + 3) & ~qsizetype(3);
    using TMemory = std::unique_ptr<uchar, decltype(&std::free)>;
    TMemory memory(static_cast<uchar*>(std::malloc(std::size_t(stride32) * std::size_t(h))), &std::free);
    if (!memory)
        return false;
    {
        QImage surface(memory.get(), w, h, stride32, QImage::Format_RGB32);
        surface.fill(Qt::white);
        if (format.Play(bytes, surface).Outcome == TPlayOutcome::DrewNothing) {
            info.ErrorText = kUnknownFormat;
            return false;
        }
    }
    PackTo24(memory.get(), w, h, stride24);
    if (void* smaller = std::realloc(memory.get(), std::size_t(stride24) * std::size_t(h))) {
        (void)memory.release();
        memory.reset(static_cast<uchar*>(smaller));
    }
    QImage target(memory.get(), w, h, stride24, kFormat24, [](void* p) { std::free(p); }, memory.get());
    if (target.isNull())
        return false;
    (void)memory.release();  // the picture frees it now
    *info.Bitmap = std::move(target);
    return true;
}

}  // namespace

bool LoadMetafileFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    bool loaded = false;
    const QString stopped = Guarded([&] {
        info.ErrorText = kUnknownFormat;
        const TMetafileFormat format = FormatOf(info.FileName);
        QByteArray bytes;
        QSize natural;
        if (!ReadWholeFile(info.FileName, bytes) || !format.NaturalSize(bytes, natural))
            return;
        info.BitsPerPixel = 24;
        loaded = Render(info, format, bytes, natural);
    });
    // Memory running out keeps the text of the step that failed; anything else is the player meeting something
    // it could not follow, and the loader's promise is a text, not an exception.
    if (!stopped.isEmpty() && stopped != kOutOfMemory)
        info.ErrorText = kUnknownFormat;
    return loaded;
}
