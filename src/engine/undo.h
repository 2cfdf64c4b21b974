#pragma once

#include "engine/pictavo_info.h"

#include <QString>

#include <cstdint>

// The names the undo record keeps for the picture operations.
inline const QString kUndoRotate = QStringLiteral("ROTATE");
inline const QString kUndoFlip = QStringLiteral("FLIP");
inline const QString kUndoMirror = QStringLiteral("MIRROR");
inline const QString kUndoInvert = QStringLiteral("INVERT");

enum class TUndoAction { Nothing, Rotate, Flip, Mirror, Invert };

// What undoing runs: every picture operation has an exact inverse, so no copy of the picture is kept.
struct TUndoStep {
    TUndoAction Action = TUndoAction::Nothing;
    std::int32_t Angle = 0;  // for Rotate

    friend bool operator==(const TUndoStep&, const TUndoStep&) = default;
};

// The inverse of the recorded operation (whether or not the record is available): a turn back by the negated
// angle, or the same flip, mirror or invert again. Names are compared in any case; unknown names undo nothing.
TUndoStep InverseStep(const TPictavoUndoInfo& undo);

// An operation's name as the Undo command shows it: only its first letter in capitals ("Rotate").
QString OperationCaption(const QString& operation);
