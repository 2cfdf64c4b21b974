#include "engine/ui/pictavo.h"

#include "testlib/test_env.h"
#include "engine/ui/docked_engine.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Every pixel different, so a pixel in the wrong place shows.
QImage Numbered(int w, int h)
{
    QImage image(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 5, y * 7, (x + y) * 3));
    return image;
}

QImage Inverted(QImage image)
{
    image.invertPixels();
    return image;
}

// The docked engine with the real clipboard, emptied for every case.
class ImageOpsTest : public DockedEngineTest {
protected:
    void SetUp() override
    {
        DockedEngineTest::SetUp();
        QGuiApplication::clipboard()->clear();
    }

    // Opens the picture from a file, the way a user brings one in.
    void Load(const QImage& picture)
    {
        const QString file = NewTestFolder() + "/picture.bmp";
        ASSERT_TRUE(picture.save(file, "BMP"));
        ASSERT_TRUE(Engine->OpenPicture(file)) << qPrintable(Engine->LastError);
        ASSERT_EQ(Engine->Picture(), picture);
    }

    void SetScale(std::uint8_t scale)
    {
        TPictavoInfo info = *Engine->Info();
        info.Scale = scale;
        Engine->SetInfo(info);
    }

    const QImage& Picture() const { return Engine->Picture(); }

};

}  // namespace

TEST_F(ImageOpsTest, RotateUndoesAndRedoesWithoutLimit)
{
    const QImage original = Numbered(5, 3);
    Load(original);
    const QImage turned = original.transformed(QTransform().rotate(90));

    ASSERT_TRUE(Engine->Rotate(90));
    EXPECT_EQ(Picture().convertToFormat(QImage::Format_RGB32), turned.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(Engine->UndoCaption(), "Rotate");

    ASSERT_TRUE(Engine->Undo());
    EXPECT_EQ(Picture(), original);
    EXPECT_EQ(Engine->UndoCaption(), "Rotate");
    EXPECT_EQ(Engine->UndoInfo().Value, -90);

    ASSERT_TRUE(Engine->Undo());
    EXPECT_EQ(Picture().convertToFormat(QImage::Format_RGB32), turned.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(Engine->UndoInfo().Value, 90);
}

TEST_F(ImageOpsTest, UndoReversesOnlyTheLastOperation)
{
    const QImage original = Numbered(6, 4);
    Load(original);
    ASSERT_TRUE(Engine->Flip());
    ASSERT_TRUE(Engine->Mirror());
    EXPECT_EQ(Engine->UndoCaption(), "Mirror");
    ASSERT_TRUE(Engine->Undo());
    EXPECT_EQ(Picture(), original.mirrored(false, true));  // the flip stays

    ASSERT_TRUE(Engine->Invert());
    EXPECT_EQ(Engine->UndoCaption(), "Invert");
    ASSERT_TRUE(Engine->Undo());
    ASSERT_TRUE(Engine->Invert());
    EXPECT_EQ(Picture(), Inverted(original.mirrored(false, true)));
}

TEST_F(ImageOpsTest, HalfTurnsAndUndoOfEveryAngle)
{
    const QImage original = Numbered(7, 3);
    Load(original);
    for (int angle : {180, -180, 270, -270, -90}) {
        ASSERT_TRUE(Engine->Rotate(angle)) << angle;
        ASSERT_TRUE(Engine->Undo()) << angle;
        EXPECT_EQ(Picture(), original) << angle;
    }
    ASSERT_TRUE(Engine->Rotate(180));
    EXPECT_EQ(Picture(), original.mirrored(true, true));
}

TEST_F(ImageOpsTest, QuarterTurnLaysThePageOutAgainWhileAHalfTurnOnlyRepaints)
{
    Load(Numbered(40, 20));
    SetScale(kScaleToPage);
    QApplication::processEvents();
    const QSize wide = Engine->Preview().size();
    ASSERT_GT(wide.width(), wide.height());

    int changes = 0;
    Engine->OnChange = [&changes](TPictavo*) { ++changes; };
    TPaintCounter paints(Page());

    ASSERT_TRUE(Engine->Rotate(90));
    EXPECT_GT(changes, 0);
    EXPECT_EQ(Engine->Info()->PictureWidth, 20);
    const QSize tall = Engine->Preview().size();
    EXPECT_GT(tall.height(), tall.width());  // fitted at its new proportions

    changes = 0;
    const int paintsBefore = paints.Count;
    const QRgb cornerBefore = Engine->Preview().pixel(0, 0);
    ASSERT_TRUE(Engine->Rotate(180));
    EXPECT_EQ(changes, 0);
    EXPECT_GT(paints.Count, paintsBefore);
    EXPECT_EQ(Engine->Preview().size(), tall);
    EXPECT_FALSE(Engine->PreviewDirty());
    // The preview was stretched again from the turned picture: its corner now shows the old opposite corner.
    EXPECT_NE(Engine->Preview().pixel(0, 0), cornerBefore);
    EXPECT_EQ(Engine->Preview().pixel(0, 0), Picture().pixel(0, 0));
}

TEST_F(ImageOpsTest, FailedRotationKeepsPictureAndUndoRecord)
{
    const QImage original = Numbered(4, 3);
    Load(original);
    ASSERT_TRUE(Engine->Flip());
    EXPECT_FALSE(Engine->Rotate(300));
    EXPECT_FALSE(Engine->LastError.isEmpty());
    EXPECT_EQ(Picture(), original.mirrored(false, true));
    EXPECT_EQ(Engine->UndoCaption(), "Flip");
}

TEST_F(ImageOpsTest, NothingToUndoWithoutAPicture)
{
    EXPECT_TRUE(Engine->Undo());
    Engine->SetUndo("FLIP", 0);
    EXPECT_FALSE(Engine->CanUndo());
    EXPECT_EQ(Engine->UndoCaption(), "");
    EXPECT_TRUE(Engine->Undo());
    EXPECT_FALSE(Engine->HasPicture());
}

TEST_F(ImageOpsTest, CopyWithoutAPictureFails)
{
    EXPECT_FALSE(Engine->CopyToClipboard());
    EXPECT_EQ(Engine->LastError, "Task failed");
    EXPECT_FALSE(Engine->CanPaste());
}

TEST_F(ImageOpsTest, CopyAndPasteKeepEveryPixelAndClearUndo)
{
    const QImage original = Numbered(37, 23);
    Load(original);
    ASSERT_TRUE(Engine->Rotate(-90));
    const QImage turned = Picture().copy();
    ASSERT_TRUE(Engine->CopyToClipboard());
    EXPECT_TRUE(Engine->CanPaste());

    ASSERT_TRUE(Engine->Rotate(90));  // something to undo, which the paste must forget
    ASSERT_TRUE(Engine->PasteFromClipboard()) << qPrintable(Engine->LastError);
    EXPECT_EQ(Picture().format(), QImage::Format_BGR888);
    EXPECT_EQ(Picture(), turned);
    EXPECT_FALSE(Engine->CanUndo());
    EXPECT_EQ(Engine->UndoCaption(), "");
    EXPECT_EQ(Engine->Info()->PictureWidth, 23);
}

TEST_F(ImageOpsTest, PastedTransparencyLiesOnWhite)
{
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    image.setPixel(2, 0, qRgba(0, 0, 0, 128));
    QGuiApplication::clipboard()->setImage(image);
    ASSERT_TRUE(Engine->PasteFromClipboard()) << qPrintable(Engine->LastError);
    EXPECT_TRUE(Engine->HasPicture());
    EXPECT_EQ(Picture().format(), QImage::Format_BGR888);
    EXPECT_EQ(Picture().pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(Picture().pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_NEAR(qRed(Picture().pixel(2, 0)), 127, 1);  // half black on white
}

TEST_F(ImageOpsTest, PasteWithoutABitmapChangesNothing)
{
    const QImage original = Numbered(4, 4);
    Load(original);
    ASSERT_TRUE(Engine->Mirror());
    QGuiApplication::clipboard()->setText("not a picture");
    EXPECT_FALSE(Engine->CanPaste());
    EXPECT_FALSE(Engine->PasteFromClipboard());
    EXPECT_EQ(Engine->LastError, "Task failed");
    EXPECT_EQ(Picture(), original.mirrored(true, false));
    EXPECT_TRUE(Engine->CanUndo());
}
