#pragma once

#include "common/bitmap.h"

#include <QIODevice>
#include <QPainter>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>

enum class TProgressStage { Starting, Running, Ending };

class TGraphic;

// Progress of a long load or save: sender, stage, percent done (0..100), redraw flag, the picture's rectangle
// and "Loading" or "Saving". Reports while running come at most once per 250 ms.
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, int percent, bool redraw,
                                          const QRect& rect, const QString& message)>;

// A picture class of the program: something that has a size, draws itself, and reads and writes a stream.
// LoadFromStream and SaveToStream raise EGeneralError; everything else is quiet.
class TGraphic {
public:
    virtual ~TGraphic() = default;

    virtual void Assign(const TGraphic& source) = 0;
    virtual void Draw(QPainter& canvas, const QRect& rect) const = 0;
    virtual bool GetEmpty() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    virtual void LoadFromStream(QIODevice& stream) = 0;
    virtual void SaveToStream(QIODevice& stream) = 0;
};

// The common body of the program's own codecs: an owned 24-bit pixel store, progress reports, the failure text
// pattern of a load or save, and the quiet load from a file name.
class TCodecPicture : public TGraphic {
public:
    TProgressEvent OnProgress;

    void Draw(QPainter& canvas, const QRect& rect) const override;
    bool GetEmpty() const override { return Bitmap.isNull() || Bitmap.width() == 0 || Bitmap.height() == 0; }
    int GetWidth() const override { return Bitmap.width(); }
    int GetHeight() const override { return Bitmap.height(); }
    void SetWidth(int width) override { Resize(width, GetHeight()); }
    void SetHeight(int height) override { Resize(GetWidth(), height); }

    // The framework bitmap's own assignment: take the picture as it is, then keep it at 24 bits per pixel.
    void AssignImage(const QImage& image);
    // Loads the named file; never raises. False with "File not found", "File in use" or the load's own text.
    bool LoadFromFile(const QString& fileName);

    const TBitmap& GetBitmap() const { return Bitmap; }
    const QString& GetLastError() const { return LastError; }

protected:
    // withPeriod: the anymap and X bitmap codecs end their failure texts with a period, the Text Picture does not.
    explicit TCodecPicture(bool withPeriod);

    // Size of the source, white, the source drawn at (0,0). A size that cannot be allocated leaves things as they were.
    void CopyFromGraphic(const TGraphic& source);
    void Resize(int width, int height);

    QString Text(const QString& words) const { return FWithPeriod ? words + u'.' : words; }
    void Progress(TProgressStage stage, int percent, const QString& message);
    // A running report, made only with a handler and when 250 ms have passed since the last one.
    void ThrottledProgress(int percent, const QString& message);

    // Runs one load or save: the failure text starts as "Out of memory", the work replaces or clears it; any
    // exception keeps the text in place. A remaining text becomes LastError and is raised as EGeneralError.
    void RunCodec(const QString& message, const std::function<void(QString& failure)>& work);

    TBitmap Bitmap;
    qint64 LastProgressTime = 0;
    QString LastError;

private:
    bool FWithPeriod;
};
