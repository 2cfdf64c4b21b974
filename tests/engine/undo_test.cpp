#include "engine/undo.h"

#include <gtest/gtest.h>

namespace {

TPictavoUndoInfo Record(const QString& operation, std::int32_t value = 0)
{
    TPictavoUndoInfo undo;
    undo.Available = true;
    undo.Operation = operation;
    undo.Value = value;
    return undo;
}

}  // namespace

TEST(Undo, EachOperationIsUndoneByItsInverse)
{
    EXPECT_EQ(InverseStep(Record("ROTATE", 90)), (TUndoStep{TUndoAction::Rotate, -90}));
    EXPECT_EQ(InverseStep(Record("ROTATE", -270)), (TUndoStep{TUndoAction::Rotate, 270}));
    EXPECT_EQ(InverseStep(Record("rotate", 180)), (TUndoStep{TUndoAction::Rotate, -180}));
    EXPECT_EQ(InverseStep(Record("FLIP")), (TUndoStep{TUndoAction::Flip, 0}));
    EXPECT_EQ(InverseStep(Record("Mirror")), (TUndoStep{TUndoAction::Mirror, 0}));
    EXPECT_EQ(InverseStep(Record("INVERT")), (TUndoStep{TUndoAction::Invert, 0}));
}

TEST(Undo, UnknownNamesAndTheUnnegatableAngleAreHarmless)
{
    EXPECT_EQ(InverseStep(Record("SHEAR")).Action, TUndoAction::Nothing);
    EXPECT_EQ(InverseStep(Record("")).Action, TUndoAction::Nothing);
    EXPECT_EQ(InverseStep(Record("ROTATE", INT32_MIN)).Angle, INT32_MIN);
}

TEST(Undo, CaptionCapitalisesOnlyTheFirstLetter)
{
    EXPECT_EQ(OperationCaption("ROTATE"), "Rotate");
    EXPECT_EQ(OperationCaption("mirror"), "Mirror");
    EXPECT_EQ(OperationCaption(""), "");
}
