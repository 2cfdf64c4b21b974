#pragma once

#include "common/bitmap.h"
#include "formats/byte_stream.h"

#include <cstdint>

// One pixel as it lies in a 24-bit row: blue, green, red.
struct TColorTriple {
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
};

// A pixel cursor over a 24-bit picture: writes triples in reading order, reads and writes single pixels and
// hands out rows. A row is fetched once and written directly; the picture is not owned.
class TByteImage {
public:
    TByteImage() = default;
    explicit TByteImage(TBitmap* bitmap) { SetBitmap(bitmap); }

    void SetBitmap(TBitmap* bitmap);
    bool SelectRow(int y)
    {
        return y == RowIndex || FetchRow(y);
    }
    // The row's first triple after SelectRow(y), or nullptr when the row cannot be had.
    std::uint8_t* GetRow(int y) { return SelectRow(y) ? Row : nullptr; }

    bool GetPixel(int x, int y, TColorTriple& triple);
    void SetPixel(int x, int y, TColorTriple triple);

    bool WritePixel(TColorTriple triple)
    {
        if (Y > MaxY || !SelectRow(Y))
            return false;
        std::uint8_t* p = Row + 3 * X;
        p[0] = triple.Blue;
        p[1] = triple.Green;
        p[2] = triple.Red;
        if (++X > MaxX) {
            X = 0;
            ++Y;
        }
        return true;
    }

    static void ByteToBits(std::uint8_t b, TByteList& list);

    int CursorX() const { return X; }
    int CursorY() const { return Y; }

private:
    bool FetchRow(int y);

    std::uint8_t* Row = nullptr;
    int RowIndex = -1;
    TBitmap* Bitmap = nullptr;
    int X = 0;
    int Y = 0;
    int MaxX = 0;
    int MaxY = 0;
    int Width = 0;
    int Height = 0;
};
