// Text Picture reader over arbitrary bytes; a picture of at most 64 colours must save, in any line style, and read
// back exactly.
#include "codec_round_trip.h"
#include "formats/text_picture.h"

#include <QSet>

namespace {

int CountColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzRoundTrip<TTextPicture>(
        data, size, [](const TTextPicture& p) { return CountColours(p.GetBitmap()) <= 64; },
        [size](TTextPicture& p) { p.SetLineStyle(int(size % 3)); });
}
