#include "common/bitmap.h"
#include "common/limits.h"
#include "formats/loader_common.h"
#include "formats/loaders.h"
#include "formats/metafile_player.h"

#include <QFile>
#include <QFileInfo>

#include <new>

namespace {

struct TMetafileFormat {
    bool (*naturalSize)(const QByteArray&, QSize&);
    TPlayOutcome (*play)(const QByteArray&, QImage&);
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

// Plays into a 32-bit surface (raster operations need one) on white paper, then hands back 24 bits. Records
// that all draw nothing are a picture we cannot show, not a white one; only a file with no records at all is
// the empty drawing it says it is.
bool Render(TImageInfoRec& info, const TMetafileFormat& format, const QByteArray& bytes, QSize natural)
{
    info.ErrorText = "Out of memory";
    const int w = AtLeastOne(natural.width());
    const int h = AtLeastOne(natural.height());
    if (!PictureFits(w, h))
        return false;
    QImage surface(w, h, QImage::Format_RGB32);
    if (surface.isNull())
        return false;
    surface.fill(Qt::white);
    if (format.play(bytes, surface) == TPlayOutcome::DrewNothing) {
        info.ErrorText = "Unknown format";
        return false;
    }
    QImage target = surface.convertToFormat(kFormat24);
    if (target.isNull())
        return false;
    *info.Bitmap = std::move(target);
    return true;
}

}  // namespace

bool LoadMetafileFile(TImageInfoRec& info)
{
    if (!PrepareInfo(info))
        return false;
    try {
        info.ErrorText = "Unknown format";
        const TMetafileFormat format = FormatOf(info.FileName);
        QByteArray bytes;
        QSize natural;
        if (!ReadWholeFile(info.FileName, bytes) || !format.naturalSize(bytes, natural))
            return false;
        info.BitsPerPixel = 24;
        return Render(info, format, bytes, natural);
    } catch (const std::bad_alloc&) {
        return false;  // the text of the step that failed stays
    }
}
