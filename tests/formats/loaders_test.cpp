// The registry's loaders of the own codecs over files written by other programs, and our writers' files read by
// netpbm.
#include "codec_test_util.h"
#include "formats/loaders.h"
#include "formats/portable_pixelmap.h"
#include "formats/text_picture.h"
#include "formats/xbitmap.h"
#include "testlib/test_env.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr QRgb kW = kWhitePx;
constexpr QRgb kB = kBlackPx;

// The colour fixture, as written in its plain source before netpbm and ImageMagick converted it.
const std::vector<QRgb> kColour = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E, 0xFFFFFF,  //
                                   0x000000, 0x808080, 0x0D0AC8, 0x010203, 0xFAF0E6,  //
                                   0x070809, 0x643219, 0x3C4650, 0xFFFF00, 0x00FFFF};
const std::vector<int> kGrey = {77, 149, 29, 18, 255, 0, 128, 32, 2, 242, 8, 62, 68, 226, 178};
const std::vector<QRgb> kMono = {kB, kW, kB, kB, kW, kW, kW, kB, kB, kB,  //
                                 kW, kB, kW, kW, kB, kB, kB, kW, kW, kB,  //
                                 kB, kB, kB, kB, kB, kB, kB, kB, kW, kW};

std::vector<QRgb> Greys(const std::vector<int>& levels)
{
    std::vector<QRgb> out;
    for (int v : levels)
        out.push_back(QRgb(v * 0x010101));
    return out;
}

struct TLoaded {
    bool Ok;
    int BitsPerPixel;
    QString ErrorText;
    QImage Picture;
};

TLoaded LoadFile(bool (*loader)(TImageInfoRec&), const QString& path)
{
    QImage target;
    TImageInfoRec info;
    info.FileName = path;
    info.Bitmap = &target;
    const bool ok = loader(info);
    return {ok, info.BitsPerPixel, info.ErrorText, target};
}

TEST(OwnCodecLoaders, AnymapsFromNetpbmAndImageMagick)
{
    for (const char* name : {"colour_raw.ppm", "colour_plain.ppm", "colour_magick_raw.ppm", "colour_magick_plain.ppm",
                             "colour16_raw.ppm"}) {
        const TLoaded loaded = LoadFile(LoadPortableFile, TestDataPath(name));
        ASSERT_TRUE(loaded.Ok) << name << " " << loaded.ErrorText.toStdString();
        EXPECT_EQ(loaded.BitsPerPixel, 24) << name;
        EXPECT_EQ(loaded.Picture.format(), kFormat24);
        EXPECT_EQ(Pixels(loaded.Picture), kColour) << name;
    }
    for (const char* name : {"grey_raw.pgm", "grey_plain.pgm", "grey16_raw.pgm"}) {
        const TLoaded loaded = LoadFile(LoadPortableFile, TestDataPath(name));
        EXPECT_EQ(loaded.BitsPerPixel, 8) << name;
        EXPECT_EQ(Pixels(loaded.Picture), Greys(kGrey)) << name;
    }
    for (const char* name : {"mono_raw.pbm", "mono_plain.pbm"}) {
        const TLoaded loaded = LoadFile(LoadPortableFile, TestDataPath(name));
        EXPECT_EQ(loaded.BitsPerPixel, 1) << name;
        EXPECT_EQ(Pixels(loaded.Picture), kMono) << name;
    }
}

TEST(OwnCodecLoaders, SmallMaxvalAndBreakBytesAsSamples)
{
    // netpbm's maxval-15 greymap of the same picture: every level comes back as level * 17.
    const QByteArray file = ReadFixture(TestDataPath("grey15_raw.pgm"));
    std::vector<int> levels;
    for (char c : file.right(15))
        levels.push_back(uchar(c) * 17);
    EXPECT_EQ(Pixels(LoadFile(LoadPortableFile, TestDataPath("grey15_raw.pgm")).Picture), Greys(levels));
    EXPECT_EQ(Pixels(LoadFile(LoadPortableFile, TestDataPath("grey_first_byte_lf.pgm")).Picture),
              Greys({10, 13, 200}));
}

TEST(OwnCodecLoaders, XBitmapsFromNetpbmAndImageMagick)
{
    for (const char* name : {"mono_netpbm.xbm", "mono_magick.xbm"}) {
        const TLoaded loaded = LoadFile(LoadXBitmapFile, TestDataPath(name));
        ASSERT_TRUE(loaded.Ok) << name;
        EXPECT_EQ(loaded.BitsPerPixel, 1);
        EXPECT_EQ(Pixels(loaded.Picture), kMono) << name;
    }
}

TEST(OwnCodecLoaders, TextPictureAndFailureTexts)
{
    const QString folder = NewTestFolder();
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(folder + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const TLoaded tep = LoadFile(LoadTextPictureFile, write("a.tep", "T2200100~9"));
    ASSERT_TRUE(tep.Ok);
    EXPECT_EQ(tep.BitsPerPixel, 3);
    EXPECT_EQ(Pixels(tep.Picture), (std::vector<QRgb>{0xFF0000, 0xFFFF00}));

    EXPECT_EQ(LoadFile(LoadTextPictureFile, write("b.tep", "T6))))))~")).ErrorText, "Out of memory");
    EXPECT_EQ(LoadFile(LoadTextPictureFile, write("c.tep", "nothing")).ErrorText, "Unknown format");
    EXPECT_EQ(LoadFile(LoadPortableFile, write("d.ppm", "P6\n0 0\n")).ErrorText, "Unknown format");
    EXPECT_EQ(LoadFile(LoadXBitmapFile, write("e.xbm", "x")).ErrorText, "Unknown format");
    EXPECT_EQ(LoadFile(LoadXBitmapFile, folder + "/missing.xbm").ErrorText, "File not found");
}

TEST(OwnCodecLoaders, MalformedFilesFailOrReadWhatTheyCan)
{
    auto codecText = [](TCodecPicture&& picture, const char* name) {
        picture.LoadFromFile(TestDataPath(name));
        return picture.GetLastError();
    };
    EXPECT_EQ(codecText(TPortablePixelmap(), "dimensions_too_large.ppm"), "Out of memory.");
    EXPECT_EQ(codecText(TPortablePixelmap(), "magic_after_blank_line.pgm"), "Unknown format.");
    EXPECT_EQ(codecText(TXBitmap(), "width_followed_by_comment.xbm"), "Invalid dimensions.");
    EXPECT_EQ(codecText(TXBitmap(), "array_without_static.xbm"), "Unknown format.");
    EXPECT_EQ(codecText(TTextPicture(), "end_before_header_end.tep"), "Unknown format");
    EXPECT_EQ(codecText(TTextPicture(), "dimensions_too_large.tep"), "Out of memory");

    EXPECT_EQ(Pixels(LoadFile(LoadPortableFile, TestDataPath("data_truncated.ppm")).Picture),
              (std::vector<QRgb>{0x010203, 0x040506, kW, kW, kW, kW, kW, kW}));
    // A maxval beyond 16 bits counts as 65535, and so does every sample above it.
    EXPECT_EQ(Pixels(LoadFile(LoadPortableFile, TestDataPath("maxval_above_16_bits.pgm")).Picture),
              Greys({0, 136, 255}));
    EXPECT_EQ(Pixels(LoadFile(LoadXBitmapFile, TestDataPath("closing_brace_missing.xbm")).Picture),
              (std::vector<QRgb>{kB, kW, kW, kW, kW, kW, kW, kB, kW, kB, kB, kB, kB, kB, kB, kW}));
    // Kind 3, 2 x 2: the stray brace hides "1" up to the next "{"; "9" paints two reds, the rest stays white.
    EXPECT_EQ(Pixels(LoadFile(LoadTextPictureFile, TestDataPath("stray_closing_brace.tep")).Picture),
              (std::vector<QRgb>{0xFF0000, 0xFF0000, kW, kW}));
    const TLoaded nested = LoadFile(LoadTextPictureFile, TestDataPath("comments_nested.tep"));
    ASSERT_TRUE(nested.Ok) << nested.ErrorText.toStdString();
    EXPECT_EQ(Pixels(nested.Picture), (std::vector<QRgb>{kW, 0xFFFF00, kB, 0xFFFF00, 0x00FF00, 0x00FF00, kW, 0xFFFF00}));
}

// Runs a netpbm program over a file and returns what it printed; skips the test when netpbm is absent.
QByteArray Netpbm(const QString& program, const QString& path)
{
    const QString exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty())
        return {};
    QProcess process;
    process.start(exe, {path});
    process.waitForFinished(10000);
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << " " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QString SaveFile(TGraphic& picture, const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    picture.SaveToStream(file);
    return path;
}

TEST(OwnCodecWriters, NetpbmReadsWhatWeWrite)
{
    if (QStandardPaths::findExecutable("pnmtoplainpnm").isEmpty() || QStandardPaths::findExecutable("xbmtopbm").isEmpty())
        GTEST_SKIP() << "netpbm is not installed";
    const QString folder = NewTestFolder();
    const QImage image = MakePicture(5, 3, kColour);
    const QByteArray plainColour = ReadFixture(TestDataPath("colour_plain.ppm")).simplified();
    for (int kind : {3, 6}) {
        TPortablePixelmap picture;
        picture.AssignImage(image);
        picture.Kind = kind;
        const QString path = SaveFile(picture, folder + QString("/k%1.ppm").arg(kind));
        EXPECT_EQ(Netpbm("pnmtoplainpnm", path).simplified(), plainColour) << kind;
    }
    const QByteArray plainGrey = "P2 5 3 255 " + QByteArray("255 0 0 10 255 0 128 13 1 250 7 100 60 255 0");
    const QByteArray plainMono = "P1 10 3 1011000111 0100111001 1111111100";
    for (int kind : {1, 2, 4, 5}) {
        TPortablePixelmap picture;
        picture.AssignImage(kind == 1 || kind == 4 ? MakePicture(10, 3, kMono) : image);
        picture.Kind = kind;
        const QString path = SaveFile(picture, folder + QString("/k%1.pnm").arg(kind));
        EXPECT_EQ(Netpbm("pnmtoplainpnm", path).simplified(), kind == 2 || kind == 5 ? plainGrey : plainMono) << kind;
    }
    TXBitmap xbm;
    xbm.AssignImage(MakePicture(10, 3, kMono));
    const QString xbmPath = SaveFile(xbm, folder + "/m.xbm");
    const QString pbmPath = folder + "/m.pbm";
    QProcess process;
    process.setStandardOutputFile(pbmPath);
    process.start(QStandardPaths::findExecutable("xbmtopbm"), {xbmPath});
    process.waitForFinished(10000);
    EXPECT_EQ(Netpbm("pnmtoplainpnm", pbmPath).simplified(), plainMono);
}

}  // namespace
