// Hostile metafiles: records that lie about their counts or lengths, files that draw nothing, and files built
// to stall playback or to exhaust memory.
#include "metafile_test_util.h"

#include "formats/metafile_canvas.h"
#include "formats/metafile_player.h"

#include <gtest/gtest.h>

namespace {

using namespace metafile_test;

TEST(MetafileHostile, LyingCountsAreSkippedAndLaterRecordsStillDraw)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush});
    // A polygon claiming 2^28 points with three in the record.
    emf.Add(kPolygon, {0, 0, 10, 10, 1 << 28, 0, 0, 50, 0, 50, 50});
    emf.Add(kSelectObject, {123456}).Add(kRestoreDc, {-100000}).Add(kRestoreDc, {0});
    emf.Add(200, {1, 2, 3}).Add(123, {});  // record types nobody defined
    emf.Rect(60, 60, 90, 90);
    const QImage image = Play(emf);
    EXPECT_TRUE(Paper(image, 30, 10));
    EXPECT_TRUE(Ink(image, 75, 75));
}

// A picture whose records all draw nothing would print a blank page as if it were right; only a file with no
// records between its header and its end is the empty drawing it says it is.
TEST(MetafileHostile, RecordsThatDrawNothingAreNoPicture)
{
    TEmfWriter emf;
    emf.Add(200, {}).Add(250, {7, 7}).Add(0x7FFFFFFF, {});
    const TResult unknown = Load("unknown.emf", emf.Bytes());
    EXPECT_FALSE(unknown.Ok);
    EXPECT_EQ(unknown.Error, "Unknown format");
    TEmfWriter plusOnly;  // a comment of EMF+ records (a header) and nothing a plain player draws
    plusOnly.Add(70, {28, 0x2B464D45, 0x00014001, 28, 16, std::int32_t(0xDBC01002), 1, 96, 96});
    EXPECT_EQ(Load("plus.emf", plusOnly.Bytes()).Error, "Unknown format");

    QByteArray empty = TEmfWriter().Bytes();
    empty.remove(108, 12);  // the writer's own pen selection
    qToLittleEndian<std::int32_t>(std::int32_t(empty.size()), empty.data() + 48);
    const TResult blank = Load("empty.emf", empty);
    ASSERT_TRUE(blank.Ok) << blank.Error.toStdString();
    EXPECT_TRUE(Paper(blank.Image, 50, 50));
}

TEST(MetafileHostile, RecordLengthPastTheFileEndsPlayback)
{
    TEmfWriter emf;
    emf.Add(kSelectObject, {kBlackBrush}).Rect(0, 0, 20, 20);
    QByteArray bytes = emf.Bytes();
    QByteArray tail;
    Put32(tail, kRectangle);
    Put32(tail, 0x7FFFFFF0);
    bytes.insert(bytes.size() - 20, tail);
    const TResult result = Load("long.emf", bytes);
    ASSERT_TRUE(result.Ok);
    EXPECT_TRUE(Ink(result.Image, 10, 10));
}

TEST(MetafileHostile, HugeNaturalSizeIsOutOfMemory)
{
    const TResult emf = Load("huge.emf", TEmfWriter(2000000000).Bytes());
    EXPECT_FALSE(emf.Ok);
    EXPECT_EQ(emf.Error, "Out of memory");

    // A placeable WMF whose 32767 units are each an inch.
    QByteArray wmf;
    const std::int32_t placeable[] = {std::int32_t(0xCDD7), std::int32_t(0x9AC6), 0, 0, 0, 32767, 32767, 1, 0, 0};
    std::uint16_t checksum = 0;
    for (std::int32_t word : placeable) {
        Put16(wmf, word);
        checksum ^= std::uint16_t(word);
    }
    Put16(wmf, checksum);
    for (std::int32_t word : {1, 9, 0x300, 12, 0, 0, 3, 0, 0})
        Put16(wmf, word);
    for (std::int32_t word : {3, 0, 0})
        Put16(wmf, word);
    const TResult big = Load("huge.wmf", wmf);
    EXPECT_FALSE(big.Ok);
    EXPECT_EQ(big.Error, "Out of memory");
}

// ---- files built to stall or to exhaust memory -----------------------------------------------------------------

TPlayback PlayDirect(const QByteArray& bytes, QSize size, TPlayback (*play)(const QByteArray&, QImage&))
{
    QImage target(size, QImage::Format_RGB32);
    target.fill(Qt::white);
    return play(bytes, target);
}

TEST(HostileMetafile, OneTextRecordOfHugeOverlappingGlyphsLaysOutFew)
{
    TEmfWriter emf;
    emf.Add(kCreateFont, {1, -2000, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    emf.Add(kSelectObject, {1});
    // 8192 characters at zero advance: every glyph on the same spot.
    QByteArray text;
    constexpr std::int32_t kChars = 8192, kStringAt = 76, kDxAt = kStringAt + 2 * kChars;
    for (std::int32_t word : {0, 0, 0, 0, 1, 0, 0, 10, 90, kChars, kStringAt, 0x100, 0, 0, 0, 0, kDxAt})
        Put32(text, word);
    for (int i = 0; i < kChars; ++i)
        Put16(text, 'W');
    for (int i = 0; i < kChars; ++i)
        Put32(text, 0);
    QByteArray bytes = emf.Bytes();
    QByteArray record;
    Put32(record, kExtTextOutW);
    Put32(record, 8 + std::int32_t(text.size()));
    bytes.insert(bytes.size() - 20, record + text);
    qToLittleEndian<std::int32_t>(std::int32_t(bytes.size()), bytes.data() + 48);

    const TPlayback played = PlayDirect(bytes, {100, 100}, PlayEmf);
    EXPECT_GE(played.Glyphs, 1);
    EXPECT_LE(played.Glyphs, 64);  // a 2000-pixel em allows only a handful
}

TEST(HostileMetafile, HundredsOfScatteredClipRectanglesKeepTheClipSmall)
{
    TEmfWriter emf(26460);  // 1000 x 1000 pixels
    emf.Add(kSelectObject, {kBlackBrush});
    for (int i = 0; i < 300; ++i) {  // unbounded, the clip would hold 1500 elements
        const int x = i * 37 % 990, y = i * 53 % 990;
        emf.Add(kExcludeClip, {x, y, x + 3, y + 3});
    }
    emf.Rect(0, 0, 1000, 1000);
    const TPlayback played = PlayDirect(emf.Bytes(), {1000, 1000}, PlayEmf);
    EXPECT_GT(played.LargestClip, 0);
    EXPECT_LE(played.LargestClip, TMetafileCanvas::kMaxClipElements);

    TWmfWriter wmf;
    wmf.Add(0x020C, {1000, 1000});
    for (int i = 0; i < 300; ++i) {
        const int x = i * 37 % 990, y = i * 53 % 990;
        wmf.Add(0x0415, {y + 3, x + 3, y, x});  // EXCLUDECLIPRECT: bottom, right, top, left
    }
    EXPECT_LE(PlayDirect(wmf.Bytes(), {1000, 1000}, PlayWmf).LargestClip, TMetafileCanvas::kMaxClipElements);
}

TEST(HostileMetafile, PlaybackStopsAtItsWorkBudgetWithWhatItDrew)
{
    TWmfWriter wmf;
    wmf.Add(0x020C, {1000, 1000}).Add(0x02FA, {5, 0, 0, 0, 0}).Add(0x012D, {0});
    wmf.Brush(0).Add(0x012D, {1});
    for (int i = 0; i < 2000; ++i)
        wmf.Add(0x041B, {1000, 1000, 0, 0});  // the whole picture, again and again
    QImage target(1000, 1000, QImage::Format_RGB32);
    target.fill(Qt::white);
    const TPlayback played = PlayWmf(wmf.Bytes(), target);
    EXPECT_TRUE(played.Stopped);
    EXPECT_LE(played.Work, played.Budget + 1000 * 1000 + TMetafileCanvas::kRecordWork);
    EXPECT_EQ(target.pixelColor(500, 500), QColor(Qt::black));  // what was drawn stays
}

// EMF+ records spend the same budget: whole-picture fills, and a line under a pen wider than the picture.
TEST(HostileMetafile, EmfPlusPlaybackStopsAtTheWorkBudget)
{
    const std::int32_t side = FloatBits(1000), black = std::int32_t(0xFF000000u);
    TEmfPlusWriter fills;
    for (int i = 0; i < 2000; ++i)
        fills.Add(0x400A, 0x8000, {black, 1, 0, 0, side, side});
    TEmfPlusWriter strokes;
    strokes.Add(0x4008, 2 << 8, {std::int32_t(0xDBC01002u), 0, 0, 0, FloatBits(4000), std::int32_t(0xDBC01002u), 0,
                                 black});
    for (int i = 0; i < 2000; ++i)
        strokes.Add(0x400D, 0, {2, 0, FloatBits(500), side, FloatBits(500)});
    for (const TEmfPlusWriter* plus : {&fills, &strokes}) {
        TEmfWriter emf(26460);  // 1000 x 1000 pixels
        plus->WriteInto(emf);
        QImage target(1000, 1000, QImage::Format_RGB32);
        target.fill(Qt::white);
        const TPlayback played = PlayEmf(emf.Bytes(), target);
        EXPECT_TRUE(played.Stopped);
        EXPECT_LE(played.Work, played.Budget + 1000 * 1000 + TMetafileCanvas::kRecordWork);
        EXPECT_EQ(target.pixelColor(500, 500), QColor(Qt::black));  // what was drawn stays
    }
}

TEST(HostileMetafile, AHugeDeclaredFrameIsRefusedBeforeAnyPixelIsAllocated)
{
    const TResult result = Load("huge.emf", TEmfWriter(476250).Bytes());  // 18000 x 18000 pixels
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Out of memory");
}

}  // namespace
