// Metafiles written by the programs people draw and plot with, against LibreOffice's rendering of each. The
// measure is tolerant (fonts and anti-aliasing differ between any two players) but catches what users see: a
// blank page, a magnified corner, a shape or a title missing or misplaced.
#include "formats/image_info.h"
#include "formats/loaders.h"
#include "testlib/test_env.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// The reference is LibreOffice's page trimmed to its ink, grey, at most 256 pixels (make_corpus.sh).
QImage Reference(const QString& metafile)
{
    return QImage(metafile + ".png").convertToFormat(QImage::Format_Grayscale8);
}

QImage Play(const QString& metafile, QString& error)
{
    QImage image;
    TImageInfoRec info;
    info.FileName = metafile;
    info.Bitmap = &image;
    if (!LoadMetafileFile(info)) {
        error = info.ErrorText;
        return {};
    }
    return image.convertToFormat(QImage::Format_Grayscale8);
}

// The smallest rectangle holding every pixel darker than paper; empty for a blank picture.
QRect InkBox(const QImage& grey)
{
    QRect box;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (row[x] < 235)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

// Blurred by averaging down to cells of about 4 x 4 pixels of the reference.
QImage Blurred(const QImage& grey, QSize size)
{
    const QSize cells((size.width() + 3) / 4, (size.height() + 3) / 4);
    return grey.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(cells, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

struct TComparison {
    double MeanDifference = 0;  // 0..255 over all cells
    double MissingInk = 0;      // share of the reference's inked cells where we left paper
};

TComparison Compare(const QImage& ours, const QImage& reference)
{
    const QImage a = Blurred(ours, reference.size());
    const QImage b = Blurred(reference, reference.size());
    TComparison c;
    int inked = 0, missing = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const int ref = b.constScanLine(y)[x], got = a.constScanLine(y)[x];
            c.MeanDifference += std::abs(ref - got);
            if (ref < 160) {
                ++inked;
                missing += got > 240;
            }
        }
    c.MeanDifference /= double(b.width()) * b.height();
    c.MissingInk = inked ? double(missing) / inked : 0;
    return c;
}

void ExpectLikeTheReference(const QString& metafile)
{
    SCOPED_TRACE(metafile.toStdString());
    const QImage reference = Reference(metafile);
    ASSERT_FALSE(reference.isNull()) << "no reference beside the file";
    QString error;
    const QImage played = Play(metafile, error);
    ASSERT_FALSE(played.isNull()) << error.toStdString();
    const QRect box = InkBox(played);
    ASSERT_FALSE(box.isEmpty()) << "blank page";
    const double aspect = double(box.width()) / box.height();
    const double referenceAspect = double(reference.width()) / reference.height();
    EXPECT_NEAR(aspect / referenceAspect, 1.0, 0.15) << "ink of another shape";
    const TComparison c = Compare(played.copy(box), reference);
    EXPECT_LT(c.MeanDifference, 14) << "much differs";
    EXPECT_LT(c.MissingInk, 0.05) << "paper where the reference has ink";
}

QStringList Metafiles(const QString& folder)
{
    QStringList files;
    for (const QString& name : QDir(folder).entryList({"*.emf", "*.wmf"}, QDir::Files, QDir::Name))
        files << folder + "/" + name;
    return files;
}

// A small corpus made once and committed, so the comparison runs wherever the suite does.
TEST(MetafileField, CommittedFilesPrintLikeTheReference)
{
    const QStringList files = Metafiles(TestDataPath("metafile/field"));
    ASSERT_GE(files.size(), 4);
    for (const QString& file : files)
        ExpectLikeTheReference(file);
}

// The same sources made afresh by the tools installed here, so a new version of a writer is tried too.
TEST(MetafileField, FreshlyWrittenFilesPrintLikeTheReference)
{
    if (QStandardPaths::findExecutable("soffice").isEmpty() || QStandardPaths::findExecutable("convert").isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) or ImageMagick (convert) is not installed: no fresh files nor "
                        "references to compare with";
    const QString script = QDir(TestDataPath()).filePath("../../tools/metafile_corpus/make_corpus.sh");
    const QString folder = NewTestFolder();
    QProcess make;
    make.start("bash", {script, folder});
    ASSERT_TRUE(make.waitForFinished(180000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    const QStringList files = Metafiles(folder);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files)
        ExpectLikeTheReference(file);
}

}  // namespace
