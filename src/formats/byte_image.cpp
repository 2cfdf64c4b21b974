#include "formats/byte_image.h"

#include <algorithm>

void TByteImage::SetBitmap(TBitmap* bitmap)
{
    if (bitmap == Bitmap && bitmap)
        return;
    Bitmap = bitmap;
    Width = bitmap ? bitmap->width() : 0;
    Height = bitmap ? bitmap->height() : 0;
    MaxX = std::max(Width - 1, 0);
    MaxY = std::max(Height - 1, 0);
    X = 0;
    Y = 0;
    RowIndex = -1;
    Row = nullptr;
}

bool TByteImage::FetchRow(int y)
{
    // Only 24-bit pictures of the size set with the bitmap are written: anything else would overrun the row.
    if (!Bitmap || Bitmap->isNull() || Bitmap->format() != kFormat24 || Bitmap->width() != Width
        || Bitmap->height() != Height || y < 0 || y >= Height)
        return false;
    Row = Bitmap->scanLine(y);
    RowIndex = y;
    return Row != nullptr;
}

bool TByteImage::GetPixel(int x, int y, TColorTriple& triple)
{
    if (x < 0 || x > MaxX || y < 0 || y > MaxY || !SelectRow(y))
        return false;
    const std::uint8_t* p = Row + 3 * x;
    triple = {p[0], p[1], p[2]};
    return true;
}

void TByteImage::SetPixel(int x, int y, TColorTriple triple)
{
    if (x < 0 || x > MaxX || y < 0 || y > MaxY || !SelectRow(y))
        return;
    std::uint8_t* p = Row + 3 * x;
    p[0] = triple.Blue;
    p[1] = triple.Green;
    p[2] = triple.Red;
}

void TByteImage::ByteToBits(std::uint8_t b, TByteList& list)
{
    for (int bit = 7; bit >= 0; --bit) {
        if (list.Count < std::int32_t(list.Data.size()))
            list.Data[size_t(list.Count++)] = std::uint8_t((b >> bit) & 1);
    }
}
