// Picture operations, one-level undo and the clipboard.
#include "engine/ui/pictavo.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "engine/manipulation.h"
#include "engine/undo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

namespace {

enum { kFlip = 0, kMirror = 1 };

// A request for the whole picture. A routine that fails without a reason of its own leaves the engine's
// general one in place rather than an empty message.
TManipulationInfo WholePicture(TBitmap& picture)
{
    TManipulationInfo info;
    info.Bitmap = &picture;
    BitmapArea(&picture, info.Area);
    info.AreaExclusive = true;
    info.ErrorText = kUnexpectedError;
    return info;
}

// The clipboard's image as a 24-bit picture, null when there is no memory for it. What is transparent in it is
// laid on white, as on paper.
TBitmap PictureFromImage(const QImage& image)
{
    TBitmap picture = NewBitmap24(image.width(), image.height());
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, image);
    return picture;
}

}  // namespace

bool TPictavo::Rotate(int angle)
{
    LastError = kUnexpectedError;
    bool refused = false;
    const bool result = GuardedOr(false, [&] {
        if (!SetPixelFormat24(FPicture))
            return false;
        TManipulationInfo info = WholePicture(FPicture);
        if (!RotateBitmap(info, angle)) {
            LastError = info.ErrorText;
            refused = true;
            return false;
        }
        SetUndo(kUndoRotate, angle);
        if (angle % 180 != 0)
            std::swap(FPictureDpiX, FPictureDpiY);
        return true;
    });
    if (refused)
        return false;  // a refusal leaves the page as it is drawn
    if (angle == 180 || angle == -180) {
        // A half turn keeps the size: the layout stands, only the picture on it changed.
        FPreviewDirty = true;
        PaintPage();
    } else {
        Refresh();  // width and height swapped: lay the page out again
    }
    return result;
}

bool TPictavo::FlipOrMirror(int kind)
{
    LastError = kUnexpectedError;
    bool refused = false;
    const bool result = GuardedOr(false, [&] {
        // Row and column reversal work on any pixel format, so the picture keeps its own.
        TManipulationInfo info = WholePicture(FPicture);
        if (!(kind == kFlip ? FlipArea(info) : MirrorArea(info))) {
            LastError = info.ErrorText;
            refused = true;
            return false;
        }
        SetUndo(kind == kFlip ? kUndoFlip : kUndoMirror, 0);
        return true;
    });
    if (refused)
        return false;  // a refusal leaves the page as it is drawn
    FPreviewDirty = true;
    PaintPage();
    return result;
}

bool TPictavo::Flip()
{
    return FlipOrMirror(kFlip);
}

bool TPictavo::Mirror()
{
    return FlipOrMirror(kMirror);
}

bool TPictavo::Invert()
{
    LastError = kUnexpectedError;
    bool refused = false;
    const bool result = GuardedOr(false, [&] {
        if (!SetPixelFormat24(FPicture))
            return false;
        TManipulationInfo info = WholePicture(FPicture);
        if (!InvertBitmap(info)) {
            LastError = info.ErrorText;
            refused = true;
            return false;
        }
        SetUndo(kUndoInvert, 0);
        return true;
    });
    if (refused)
        return false;  // a refusal leaves the page as it is drawn
    FPreviewDirty = true;
    PaintPage();
    return result;
}

// The inverse records itself as the last operation, so a second Undo redoes the change.
bool TPictavo::Undo()
{
    LastError = kOutOfMemory;
    if (!CanUndo())
        return true;
    const TUndoStep step = InverseStep(FUndo);
    switch (step.Action) {
    case TUndoAction::Rotate:
        return Rotate(step.Angle);
    case TUndoAction::Flip:
        return Flip();
    case TUndoAction::Mirror:
        return Mirror();
    case TUndoAction::Invert:
        return Invert();
    case TUndoAction::Nothing:
        break;
    }
    return true;
}

bool TPictavo::CanUndo() const
{
    return HasPicture() && FUndo.Available;
}

QString TPictavo::UndoCaption() const
{
    return CanUndo() ? OperationCaption(FUndo.Operation) : QString();
}

void TPictavo::SetUndo(const QString& name, std::int32_t value)
{
    if (name.isEmpty())
        return;
    FUndo.Operation = name;
    FUndo.Value = value;
    FUndo.Available = true;
}

void TPictavo::ClearUndo()
{
    FUndo.Available = false;
}

bool TPictavo::CopyToClipboard()
{
    LastError = kTaskFailed;
    if (!HasPicture())
        return false;
    QGuiApplication::clipboard()->setImage(FPicture);
    return true;
}

bool TPictavo::CanPaste() const
{
    return GuardedOr(false, [] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasImage();
    });
}

bool TPictavo::PasteFromClipboard()
{
    LastError = kTaskFailed;
    if (!CanPaste())
        return false;
    bool result = false;
    const QString stopped = Guarded([&] {
        // An image offered but unreadable, or too large for memory, leaves no picture.
        const QImage image = QGuiApplication::clipboard()->image();
        TBitmap picture = image.isNull() ? TBitmap() : PictureFromImage(image);
        if (picture.isNull()) {
            ClearPicture();
        } else {
            FPicture = std::move(picture);
            FPictureDpiX = FPictureDpiY = 0;  // the clipboard's resolution is the screen's, not the picture's
            FFullSize = QSize();
            FEmpty = false;
            NamePicture(QString());  // a pasted picture has no file and no name
            result = true;
        }
    });
    if (!stopped.isEmpty()) {
        ClearPicture();
        result = false;
    }
    Refresh();
    ClearUndo();  // a pasted picture has nothing to undo
    return result;
}
