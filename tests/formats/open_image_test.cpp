// The format registry: its table, its look-ups by file name and the filter texts of the file dialogs.
#include "formats/open_image.h"

#include "common/translate.h"
#include "testlib/scoped_hook.h"
#include "testlib/test_env.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TOpenImageEventHandler Handler(const QString& extension, TOpenImageEvent load = {})
{
    return {extension, "Test " + extension, std::move(load), {}, {}};
}

}  // namespace

// Every format is found again by its extension, in any letter case; the first thirteen keep their places and the
// photos follow them (ChoosesByExtensionOfTheNamePart).
TEST(OpenImageRegistry, RegistersTheFormatsInOrder)
{
    TOpenImage registry;
    const TOpenImageEventCollection& c = *registry.Collection;
    ASSERT_EQ(c.Count(), 23);
    for (int i = 0; i < c.Count(); ++i) {
        const QString& extension = c.Handlers.Items[i].Extension;
        EXPECT_TRUE(extension.startsWith(u'.') && extension == extension.toUpper()) << extension.toStdString();
        EXPECT_EQ(c.IndexOfExtension(extension.toLower()), i) << extension.toStdString();
        EXPECT_TRUE(c.Handlers.Items[i].OnLoad);
        EXPECT_FALSE(c.Handlers.Items[i].OnLoadCustom);
    }
    EXPECT_EQ(GraphicClassOf("ppm"), "TPortablePixelmap");
    EXPECT_EQ(GraphicClassOf("jif"), "TJPEGImage");
}

TEST(OpenImageRegistry, FilterTexts)
{
    TOpenImage registry;
    const TOpenImageEventCollection& c = *registry.Collection;
    // "All Pictures" matches every format's pattern, in the registry's order; the list follows it.
    QString all;
    for (int i = 0; i < c.Count(); ++i)
        all += "*" + c.Handlers.Items[i].Extension + ";";
    EXPECT_EQ(c.GetFilter(-1, 1), all);
    EXPECT_EQ(c.GetFilter(-2, 1), all + all);
    const QString list = c.GetFilter(-3, 0);
    EXPECT_EQ(c.GetFilter(-2, 0), "All Pictures|" + all + "|" + list);
    // The list names each format in lower case and matches it in upper case, its descriptions written as always.
    EXPECT_EQ(list.count(u'|'), 2 * c.Count());
    EXPECT_TRUE(list.startsWith("Bitmap (*.bmp)|*.BMP;|"));
    EXPECT_TRUE(list.contains("|Portable Pixelmaxp (*.ppm)|*.PPM;|"));
    // A single item keeps the upper case in its label and has no ";".
    EXPECT_EQ(c.GetFilter(0, 0), "Bitmap (*.BMP)|*.BMP|");
    EXPECT_EQ(c.GetFilter(12, 0), "Text Picture (*.TEP)|*.TEP|");
    EXPECT_EQ(c.GetFilter(1, 1), "*.DIB");
    EXPECT_EQ(c.GetFilter(13, 1), "*.JPEG");
    EXPECT_EQ(c.GetFilter(23, 1), "");
    EXPECT_EQ(c.GetFilter(23, 0), "");
    EXPECT_EQ(c.GetFilter(-4, 1), "");
}

TEST(OpenImageRegistry, TranslatesDescriptionsOnceButNotPatterns)
{
    std::optional<ScopedHook<TranslatorLookup>> translator(std::in_place, SwapTranslator,
                                                           [](const QString& text) { return "<" + text + ">"; });
    TOpenImage registry;
    translator.reset();
    const TOpenImageEventCollection& c = *registry.Collection;
    EXPECT_EQ(c.GetFilter(10, 0), "<Portable Bitmap> (<Monochrome>) (*.PBM)|*.PBM|");
    EXPECT_EQ(c.GetFilter(1, 0), "<Device Independant Bitmap> (*.DIB)|*.DIB|");
    // "All Pictures" is looked up when the filter is made, not at registration.
    EXPECT_TRUE(c.GetFilter(-1, 0).startsWith("All Pictures|*.BMP;"));
}

TEST(OpenImageRegistry, ChoosesByExtensionOfTheNamePart)
{
    TOpenImage registry;
    const TOpenImageEventCollection& c = *registry.Collection;
    EXPECT_EQ(c.IndexOfFile("/home/user/Pics/photo.bmp"), 0);
    EXPECT_EQ(c.IndexOfFile("photo.Jif"), 4);
    EXPECT_EQ(c.IndexOfFile("archive.tar.tep"), 12);
    EXPECT_EQ(c.IndexOfFile("photo.jpeg"), 13);
    EXPECT_EQ(c.IndexOfFile("PHOTO.JPE"), 14);
    EXPECT_EQ(c.IndexOfFile("photo.heic"), 20);
    EXPECT_EQ(c.IndexOfFile("photo.jpg2"), -1);
    EXPECT_EQ(c.IndexOfFile("photo"), -1);
    EXPECT_EQ(c.IndexOfFile("/home/my.pics/photo"), -1);  // a dot in a folder is no extension
    EXPECT_EQ(c.IndexOfFile("photo."), -1);
    EXPECT_EQ(c.IndexOfExtension(QString(".ico")), 5);
}

TEST(OpenImageRegistry, UnregisteredNamesFailWithoutReadingTheFile)
{
    TOpenImage registry;
    QImage target(2, 2, QImage::Format_BGR888);
    target.fill(Qt::red);
    for (const QString& name : {TestDataPath("photo.xyz"), TestDataPath("photo"), TestDataPath("baseline")}) {
        TImageInfoRec info{name, 24, -1, {}, &target};
        EXPECT_FALSE(registry.OpenFile(info));
        EXPECT_EQ(info.ErrorText, "Index out of range");
    }
    EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::red));
}

TEST(OpenImageRegistry, FailuresBeforeTheLoaderRuns)
{
    TOpenImage registry;
    TImageInfoRec noTarget{TestDataPath("bmp24.bmp"), 24, -1, {}, nullptr};
    EXPECT_FALSE(registry.OpenFile(noTarget));
    EXPECT_EQ(noTarget.ErrorText, "Index out of range");

    QImage target;
    TImageInfoRec missing{TestDataPath("no such file.bmp"), 8, -1, {}, &target};
    EXPECT_FALSE(registry.OpenFile(missing));
    EXPECT_EQ(missing.ErrorText, "File not found");
    EXPECT_EQ(missing.BitsPerPixel, 24);
}

TEST(OpenImageCollection, ReRegisteringReplacesInPlace)
{
    TOpenImage registry;
    TOpenImageEventCollection& c = *registry.Collection;
    EXPECT_EQ(c.Register(Handler(".bmp")), 0);
    EXPECT_EQ(c.Count(), 23);
    EXPECT_EQ(c.Handlers.Items[0].Extension, ".BMP");
    EXPECT_EQ(c.Handlers.Items[0].Description, "Test .bmp");
    EXPECT_EQ(c.Add(Handler(".Tep")), 12);
    EXPECT_EQ(c.Count(), 23);
}

TEST(OpenImageCollection, FullTableRefusesMore)
{
    TOpenImage registry;
    TOpenImageEventCollection& c = *registry.Collection;
    for (int i = c.Count(); i < kMaxOpenImageHandlers; ++i)
        ASSERT_EQ(c.Register(Handler(QString(".X%1").arg(i))), i);
    EXPECT_EQ(c.Register(Handler(".NEW")), -1);
    EXPECT_EQ(c.Add(Handler(".NEW")), -1);
    EXPECT_EQ(c.Count(), 100);
    EXPECT_EQ(c.IndexOfExtension(QString(".NEW")), -1);
    // An extension already there still finds its slot.
    EXPECT_EQ(c.Register(Handler(".x50")), 50);
}

TEST(OpenImageCollection, ClearKeepsSlotsForLaterRegistrations)
{
    TOpenImage registry;
    TOpenImageEventCollection& c = *registry.Collection;
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_FALSE(c.IsValidIndex(0));
    EXPECT_EQ(c.IndexOfFile("a.bmp"), -1);
    EXPECT_EQ(c.GetFilter(-2, 0), "All Pictures||");
    EXPECT_EQ(c.Register(Handler(".abc")), 0);
    EXPECT_EQ(c.Handlers.Items[1].Extension, ".DIB");  // not erased, only out of use
}

TEST(OpenImageCollection, ExecuteAndInvoke)
{
    TOpenImageEventCollection c;
    int plain = 0;
    int custom = 0;
    TOpenImageEventHandler both = Handler(".A", [&](TImageInfoRec&) { return ++plain, true; });
    both.OnLoadCustom = [&](TImageInfoRec&) { return ++custom, false; };
    c.Register(both);
    c.Register(Handler(".B", [](TImageInfoRec&) -> bool { throw std::runtime_error("broken loader"); }));
    c.Register(Handler(".C"));

    TImageInfoRec info;
    EXPECT_FALSE(c.Execute(0, info));
    EXPECT_EQ(custom, 1);
    EXPECT_EQ(plain, 0);
    EXPECT_EQ(info.ErrorText, "Index out of range");

    EXPECT_FALSE(c.Execute(1, info));  // the exception stays inside
    EXPECT_FALSE(c.Execute(2, info));  // no loader at all
    info.ErrorText.clear();
    EXPECT_FALSE(c.Execute(3, info));
    EXPECT_EQ(info.ErrorText, "Index out of range");
    EXPECT_FALSE(c.Execute(-1, info));
}

TEST(OpenImageGlobal, CreatedOnFirstUseAndFreed)
{
    const TOpenImage* first = &GetOpenImage();
    EXPECT_EQ(&GetOpenImage(), first);
    EXPECT_EQ(first->Collection->Count(), 23);
    FreeOpenImage();
    EXPECT_EQ(GetOpenImage().Collection->Count(), 23);
    FreeOpenImage();
}
