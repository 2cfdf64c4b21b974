// Photos as cameras, phones and browsers write them: pictures made by ImageMagick, libheif's encoder, cwebp and
// exiftool at test time, opened through the registry.
#include "loaders_test_util.h"

#include "common/bitmap.h"
#include "formats/photo_metadata.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <lcms2.h>

#include <gtest/gtest.h>

namespace {

bool RunTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

#define REQUIRE_TOOLS(...)                                                                   \
    for (const char* tool : {__VA_ARGS__})                                                   \
        if (QStandardPaths::findExecutable(tool).isEmpty())                                  \
            GTEST_SKIP() << tool << " is not installed (scripts/packages.txt lists it)";

// Quadrants red, green / blue, yellow: any turn or mirror shows.
const QColor kQuadrants[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};

QString MakeUpright(const QString& folder)
{
    const QString path = folder + "/upright.png";
    RunTool("convert", {"-size", "40x20", "xc:red", "-fill", "lime", "-draw", "rectangle 20,0 39,9", "-fill", "blue",
                    "-draw", "rectangle 0,10 19,19", "-fill", "yellow", "-draw", "rectangle 20,10 39,19", path});
    return path;
}

void ExpectUpright(const QImage& picture, int tolerance)
{
    ASSERT_EQ(picture.size(), QSize(40, 20));
    const QPoint centres[4] = {{10, 5}, {30, 5}, {10, 15}, {30, 15}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(NearColor(picture.pixelColor(centres[i]), kQuadrants[i], tolerance))
            << "quadrant " << i << ": " << picture.pixelColor(centres[i]).name().toStdString();
}

TImageInfoRec Open(const QString& path, QImage& target, bool autoRotate = true)
{
    TImageInfoRec info{path, 0, 0x00FFFFFF, {}, &target};
    info.AutoRotate = autoRotate;
    EXPECT_TRUE(GetOpenImage().OpenFile(info)) << path.toStdString() << ": " << info.ErrorText.toStdString();
    return info;
}

// An RGB profile with the primaries of Adobe RGB (1998), made by LittleCMS itself.
QByteArray AdobeRgbProfile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(size, Qt::Uninitialized);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(gamma);
    return bytes;
}

QColor AdobeToSrgbByLittleCms(const QByteArray& adobe, QColor colour)
{
    cmsHPROFILE in = cmsOpenProfileFromMem(adobe.constData(), cmsUInt32Number(adobe.size()));
    cmsHPROFILE out = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_RGB_8, out, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    const std::uint8_t rgb[3] = {std::uint8_t(colour.red()), std::uint8_t(colour.green()), std::uint8_t(colour.blue())};
    std::uint8_t result[3] = {};
    cmsDoTransform(t, rgb, result, 1);
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
    return QColor(result[0], result[1], result[2]);
}

// A CMYK profile that prints cyan ink as red: a picture converted through it cannot be mistaken for one
// converted by simple inversion.
cmsInt32Number CyanAsRed(const cmsUInt16Number in[], cmsUInt16Number out[], void* srgbToLab)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const double rgb[3] = {(1 - m) * (1 - k), (1 - y) * (1 - k) * (1 - c), (1 - y) * (1 - k) * (1 - c)};
    const double red = std::min(1.0, (1 - k) * (1 - m) * (1 - y) + c * (1 - k));
    const std::uint8_t srgb[3] = {std::uint8_t(red * 255), std::uint8_t(rgb[1] * 255), std::uint8_t(rgb[2] * 255)};
    cmsDoTransform(static_cast<cmsHTRANSFORM>(srgbToLab), srgb, out, 1);
    return TRUE;
}

QByteArray CyanAsRedProfile()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_8, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(table, CyanAsRed, toLab, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_BEGIN, table);
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(size, Qt::Uninitialized);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsPipelineFree(pipeline);
    cmsCloseProfile(profile);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return bytes;
}

}  // namespace

// Each EXIF orientation on a picture stored the way a camera held that way stores it: every one opens upright.
TEST(PhotoLoaders, EveryCameraOrientationOpensUpright)
{
    REQUIRE_TOOLS("convert", "exiftool", "cwebp", "heif-enc");
    const QString folder = NewTestFolder();
    const QString upright = MakeUpright(folder);
    // What the camera stored, for each orientation, so that turning it by the tag gives the upright picture.
    const QStringList stored{{}, "-flop", "-rotate 180", "-flip", "-transpose", "-rotate 270", "-transverse",
                             "-rotate 90"};
    for (int o = 1; o <= 8; ++o) {
        const QString base = folder + QString("/o%1").arg(o);
        QStringList args{upright};
        if (!stored[o - 1].isEmpty())
            args << stored[o - 1].split(' ');
        ASSERT_TRUE(RunTool("convert", QStringList(args) << base + ".png"));
        ASSERT_TRUE(RunTool("convert", {base + ".png", "-quality", "95", base + ".jpg"}));
        ASSERT_TRUE(RunTool("convert", {base + ".png", "-compress", "none", base + ".tif"}));
        ASSERT_TRUE(RunTool("cwebp", {"-quiet", "-q", "95", base + ".png", "-o", base + ".webp"}));
        ASSERT_TRUE(RunTool("exiftool", {"-q", "-overwrite_original", QString("-Orientation#=%1").arg(o), base + ".jpg",
                                     base + ".png", base + ".webp", base + ".tif"}));
        ASSERT_TRUE(RunTool("heif-enc", {"-q", "95", base + ".jpg", "-o", base + ".heic"}));
        for (const char* extension : {".png", ".tif", ".jpg", ".webp", ".heic"}) {
            SCOPED_TRACE(std::string("orientation ") + char('0' + o) + extension);
            QImage target;
            Open(base + extension, target);
            ExpectUpright(target, QByteArray(extension) == ".png" || QByteArray(extension) == ".tif" ? 0 : 40);
        }
    }
    // With Auto Rotate off the picture is what the file stores.
    QImage target;
    const TImageInfoRec info = Open(folder + "/o6.jpg", target, false);
    EXPECT_EQ(target.size(), QSize(20, 40));
    EXPECT_EQ(info.BitsPerPixel, 24);
}

// Phones record the orientation in the container (irot) and repeat it in EXIF: the picture is turned once.
TEST(PhotoLoaders, HeifTurnedByItsContainerIsTurnedOnce)
{
    REQUIRE_TOOLS("convert", "exiftool", "heif-enc");
    const QString folder = NewTestFolder();
    ASSERT_TRUE(RunTool("convert", {MakeUpright(folder), "-rotate", "270", "-quality", "95", folder + "/s.jpg"}));
    ASSERT_TRUE(RunTool("exiftool", {"-q", "-overwrite_original", "-Orientation#=6", folder + "/s.jpg"}));
    ASSERT_TRUE(RunTool("heif-enc", {"-q", "95", folder + "/s.jpg", "-o", folder + "/s.heic"}));
    // heif-enc writes no irot: its pixi property, associated with the picture, becomes one of the same length
    // turning a quarter to the right (three quarters anticlockwise).
    QFile file(folder + "/s.heic");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    const qsizetype pixi = bytes.indexOf("pixi");
    ASSERT_GT(pixi, 0);
    bytes.replace(pixi, 5, QByteArray("irot\x03", 5));
    ASSERT_NO_FATAL_FAILURE(WriteFile(folder + "/phone.heic", bytes));

    QImage target;
    Open(folder + "/phone.heic", target);
    ExpectUpright(target, 40);
    Open(folder + "/phone.heic", target, false);
    EXPECT_EQ(target.size(), QSize(20, 40));
}

// A photo in a wide-gamut space shows the sRGB colour LittleCMS computes for it, whatever carries the profile.
TEST(PhotoLoaders, EmbeddedProfileBecomesSrgb)
{
    REQUIRE_TOOLS("convert");
    const QString folder = NewTestFolder();
    const QByteArray adobe = AdobeRgbProfile();
    ASSERT_NO_FATAL_FAILURE(WriteFile(folder + "/adobe.icc", adobe));
    // Pure green lies outside sRGB and clips to pure green; a mid green shows the conversion.
    const QColor green(40, 160, 40);
    const QColor expected = AdobeToSrgbByLittleCms(adobe, green);
    ASSERT_FALSE(NearColor(expected, green, 4));
    for (const char* name : {"adobe.jpg", "adobe.png", "adobe.tif"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(RunTool("convert", {"-size", "16x16", "xc:" + green.name(), "-quality", "100", "-profile",
                                    folder + "/adobe.icc", folder + "/" + name}));
        QImage target;
        Open(folder + "/" + name, target);
        EXPECT_TRUE(NearColor(target.pixelColor(8, 8), expected, 3))
            << target.pixelColor(8, 8).name().toStdString() << " instead of " << expected.name().toStdString();
    }
    // A profile that is no profile, or far too large to be one, is ignored: the colours are taken as sRGB.
    QImage plain(16, 16, QImage::Format_RGB888);
    plain.fill(green);
    for (const QByteArray& profile : {QByteArray("not a profile"), QByteArray(kMaxIccProfileBytes + 1, 'x')}) {
        QImage converted = plain.convertToFormat(kFormat24);
        ConvertToSrgb(converted, profile);
        EXPECT_EQ(converted.pixelColor(3, 3), green);
    }
}

TEST(PhotoLoaders, CmykJpegUsesItsProfile)
{
    REQUIRE_TOOLS("convert", "exiftool");
    const QString folder = NewTestFolder();
    ASSERT_NO_FATAL_FAILURE(WriteFile(folder + "/cyan_as_red.icc", CyanAsRedProfile()));
    const QString path = folder + "/cmyk.jpeg";
    ASSERT_TRUE(RunTool("convert", {"-size", "16x16", "xc:cyan", "-colorspace", "CMYK", "-quality", "100", path}));
    QImage naive;
    Open(path, naive);
    EXPECT_TRUE(NearColor(naive.pixelColor(8, 8), QColor(0, 255, 255), 8)) << naive.pixelColor(8, 8).name().toStdString();
    ASSERT_TRUE(RunTool("exiftool", {"-q", "-overwrite_original", "-ICC_Profile<=" + folder + "/cyan_as_red.icc", path}));
    QImage target;
    Open(path, target);
    EXPECT_TRUE(NearColor(target.pixelColor(8, 8), QColor(255, 0, 0), 12)) << target.pixelColor(8, 8).name().toStdString();
}

// Transparency on white, the first frame of an animation, and the file's own resolution.
TEST(PhotoLoaders, TransparencyFramesAndResolution)
{
    REQUIRE_TOOLS("convert", "cwebp");
    const QString folder = NewTestFolder();
    ASSERT_TRUE(RunTool("convert", {"-size", "8x8", "xc:none", "-fill", "blue", "-draw", "rectangle 0,0 3,7", "-units",
                                "PixelsPerInch", "-density", "150", folder + "/clear.png"}));
    ASSERT_TRUE(RunTool("cwebp", {"-quiet", "-lossless", folder + "/clear.png", "-o", folder + "/clear.webp"}));
    ASSERT_TRUE(RunTool("convert", {"-delay", "10", "-size", "8x8", "xc:red", "xc:blue", folder + "/frames.gif"}));
    ASSERT_TRUE(RunTool("convert", {"-size", "8x8", "xc:red", "-units", "PixelsPerCentimeter", "-density", "118.11",
                                folder + "/dense.jpe"}));
    for (const char* name : {"clear.png", "clear.webp"}) {
        SCOPED_TRACE(name);
        QImage target;
        const TImageInfoRec info = Open(folder + "/" + name, target);
        EXPECT_EQ(target.pixelColor(1, 1), QColor(Qt::blue));
        EXPECT_EQ(target.pixelColor(6, 1), QColor(Qt::white));
        EXPECT_EQ(info.BitsPerPixel, 32);
    }
    QImage target;
    TImageInfoRec info = Open(folder + "/clear.png", target);
    EXPECT_NEAR(info.DpiX, 150, 0.5);
    info = Open(folder + "/frames.gif", target);
    EXPECT_EQ(target.pixelColor(4, 4), QColor(Qt::red));
    EXPECT_EQ(info.DpiX, 0);
    info = Open(folder + "/dense.jpe", target);
    EXPECT_NEAR(info.DpiY, 300, 0.5);
    info = Open(TestDataPath("bmp24.bmp"), target);
    EXPECT_GE(info.DpiX, 0);
}

// Damage: what could be read opens and says so; what cannot fails with the program's own words.
TEST(PhotoLoaders, DamagedPhotos)
{
    REQUIRE_TOOLS("convert", "heif-enc");
    const QString folder = NewTestFolder();
    ASSERT_TRUE(RunTool("convert", {"-size", "64x64", "plasma:", folder + "/whole.png"}));
    ASSERT_TRUE(RunTool("heif-enc", {"-q", "50", folder + "/whole.png", "-o", folder + "/whole.heic"}));
    QFile whole(folder + "/whole.heic");
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    WriteFile(folder + "/cut.heic", whole.read(whole.size() / 2));
    WriteFile(folder + "/text.avif", "plain text, not a picture");
    for (const char* name : {"cut.heic", "text.avif"}) {
        SCOPED_TRACE(name);
        QImage target = MarkedTarget();
        const QImage before = target;
        TImageInfoRec info{folder + "/" + name, 0, -1, {}, &target};
        EXPECT_FALSE(GetOpenImage().OpenFile(info));
        EXPECT_EQ(info.ErrorText, "Unknown format");
        EXPECT_EQ(target, before);
    }
    QImage target;
    bool ok = false;
    const TImageInfoRec info = OpenTestPicture("truncated.jpg", target, -1, &ok);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(info.Warning.isEmpty());
    QFile png(folder + "/whole.png");
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    WriteFile(folder + "/cut.png", png.read(png.size() * 6 / 10));
    EXPECT_FALSE(Open(folder + "/cut.png", target).Warning.isEmpty());
    EXPECT_EQ(target.size(), QSize(64, 64));
    // Qt's GIF reader takes a cut frame for a whole one.
    ASSERT_TRUE(RunTool("convert", {folder + "/whole.png", folder + "/whole.gif"}));
    EXPECT_TRUE(Open(folder + "/whole.gif", target).Warning.isEmpty());
    QFile gif(folder + "/whole.gif");
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    WriteFile(folder + "/cut.gif", gif.read(gif.size() * 6 / 10));
    EXPECT_FALSE(Open(folder + "/cut.gif", target).Warning.isEmpty());
    EXPECT_EQ(target.size(), QSize(64, 64));
}

// AV1 pictures decode too (dav1d or aom), and translucent HEIF pictures are laid on white.
TEST(PhotoLoaders, AvifAndTranslucentHeif)
{
    QImage target;
    TImageInfoRec info = Open(TestDataPath("photo/orientation6.avif"), target);
    EXPECT_EQ(target.size(), QSize(16, 16));
    EXPECT_NEAR(info.DpiX, 300, 0.01);
    info = Open(TestDataPath("photo/alpha.heic"), target);
    EXPECT_EQ(info.BitsPerPixel, 32);
    EXPECT_TRUE(NearColor(target.pixelColor(0, 0), Qt::white, 16)) << target.pixelColor(0, 0).name().toStdString();
    EXPECT_TRUE(NearColor(target.pixelColor(15, 15), Qt::white, 16)) << target.pixelColor(15, 15).name().toStdString();
    EXPECT_TRUE(NearColor(target.pixelColor(8, 8), Qt::red, 40)) << target.pixelColor(8, 8).name().toStdString();
}
