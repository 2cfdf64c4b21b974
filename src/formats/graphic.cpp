#include "formats/graphic.h"

#include "formats/general_error.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdint>
#include <new>

#include <sys/mman.h>

namespace {

qint64 TickMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

QImage NewDecoderBitmap(int width, int height)
{
    QImage picture = NewBitmap24(width, height);
    constexpr std::uintptr_t kHugePage = 2 << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(picture.bits());
    const auto end = start + std::uintptr_t(picture.sizeInBytes());
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = end & ~(kHugePage - 1);
    // Only a hint: where it is refused, the picture is the same, only slower to touch the first time.
    if (!picture.isNull() && last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    return picture;
}

TCodecPicture::TCodecPicture(bool withPeriod) : Bitmap(), WithPeriod(withPeriod) {}

void TCodecPicture::Draw(QPainter& canvas, const QRect& rect) const
{
    if (!GetEmpty())
        canvas.drawImage(rect, Bitmap);
}

void TCodecPicture::AssignImage(const QImage& image)
{
    Bitmap = image;
    SetPixelFormat24(Bitmap);
}

void TCodecPicture::CopyFromGraphic(const TGraphic& source)
{
    if (source.GetEmpty()) {
        Bitmap = QImage();
        return;
    }
    QImage copy = NewBitmap24(source.GetWidth(), source.GetHeight());
    if (copy.isNull())
        return;
    copy.fill(Qt::white);
    {
        QPainter painter(&copy);
        source.Draw(painter, QRect(0, 0, source.GetWidth(), source.GetHeight()));
    }
    Bitmap = std::move(copy);
}

void TCodecPicture::Resize(int width, int height)
{
    if (width < 1 || height < 1) {
        Bitmap = QImage();
        return;
    }
    ResizeBitmap24(Bitmap, width, height);
}

bool TCodecPicture::LoadFromFile(const QString& fileName)
{
    LastError = Text("File not found");
    if (!QFileInfo(fileName).isFile())
        return false;
    LastError = Text("File in use");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    try {
        LoadFromStream(file);
        return true;
    } catch (...) {
        return false;  // the load left its own text in LastError
    }
}

void TCodecPicture::Progress(TProgressStage stage, int percent, const QString& message)
{
    LastProgressTime = TickMs();
    if (OnProgress)
        OnProgress(*this, stage, percent, false, QRect(0, 0, GetWidth(), GetHeight()), message);
}

void TCodecPicture::ThrottledProgress(int percent, const QString& message)
{
    if (OnProgress && TickMs() - LastProgressTime >= 250)
        Progress(TProgressStage::Running, percent, message);
}

void TCodecPicture::RunCodec(const QString& message, const std::function<void(QString& failure)>& work)
{
    QString failure = Text("Out of memory");
    try {
        Progress(TProgressStage::Starting, 0, message);
        SetPixelFormat24(Bitmap);
        work(failure);
    } catch (...) {
        // The text in place says what was being tried.
    }
    try {
        Progress(TProgressStage::Ending, 100, message);
    } catch (...) {
    }
    if (!failure.isEmpty()) {
        LastError = failure;
        throw EGeneralError(failure);
    }
}
