#include "engine/undo.h"

#include <limits>

namespace {

// The one angle without a negative maps to no turn either way, so it may stay as it is.
std::int32_t Negated(std::int32_t angle)
{
    return angle == std::numeric_limits<std::int32_t>::min() ? angle : -angle;
}

}  // namespace

TUndoStep InverseStep(const TPictavoUndoInfo& undo)
{
    const QString name = undo.Operation.toUpper();
    if (name == kUndoRotate)
        return {TUndoAction::Rotate, Negated(undo.Value)};
    if (name == kUndoFlip)
        return {TUndoAction::Flip, 0};
    if (name == kUndoMirror)
        return {TUndoAction::Mirror, 0};
    if (name == kUndoInvert)
        return {TUndoAction::Invert, 0};
    return {};
}

QString OperationCaption(const QString& operation)
{
    const QString lower = operation.toLower();
    return lower.left(1).toUpper() + lower.mid(1);
}
