#include "formats/graphic.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "formats/general_error.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdint>
#include <new>

namespace {

qint64 TickMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TCodecPicture::TCodecPicture(bool withPeriod) : Bitmap(), FWithPeriod(withPeriod) {}

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
    LastError = Text(kFileNotFound);
    if (!QFileInfo(fileName).isFile())
        return false;
    LastError = Text(kFileInUse);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The load leaves its own text in LastError when it fails.
    return GuardedOr(false, [&] {
        LoadFromStream(file);
        return true;
    });
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
    QString failure = Text(kOutOfMemory);
    // Should the work raise, the text in place says what was being tried.
    Guarded([&] {
        Progress(TProgressStage::Starting, 0, message);
        SetPixelFormat24(Bitmap);
        work(failure);
    });
    Guarded([&] { Progress(TProgressStage::Ending, 100, message); });
    if (!failure.isEmpty()) {
        LastError = failure;
        throw EGeneralError(failure);
    }
}
