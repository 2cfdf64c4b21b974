// Picture operations, undo and the clipboard: placeholders until the pixel routines are wired in.
#include "engine/ui/pictavo.h"

bool TPictavo::Rotate(int angle)
{
    Q_UNUSED(angle);
    LastError = "Unexpected error";
    return false;
}

bool TPictavo::FlipOrMirror(int kind)
{
    Q_UNUSED(kind);
    LastError = "Unexpected error";
    return false;
}

bool TPictavo::Flip()
{
    return FlipOrMirror(0);
}

bool TPictavo::Mirror()
{
    return FlipOrMirror(1);
}

bool TPictavo::Invert()
{
    LastError = "Unexpected error";
    return false;
}

bool TPictavo::Undo()
{
    LastError = "Unexpected error";
    return false;
}

bool TPictavo::CanUndo() const
{
    return HasPicture() && FUndo.Available;
}

QString TPictavo::UndoCaption() const
{
    if (!CanUndo())
        return {};
    const QString name = FUndo.Operation.toLower();
    return name.left(1).toUpper() + name.mid(1);
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
    LastError = "Task failed";
    return false;
}

bool TPictavo::CanPaste() const
{
    return false;
}

bool TPictavo::PasteFromClipboard()
{
    LastError = "Task failed";
    return false;
}
