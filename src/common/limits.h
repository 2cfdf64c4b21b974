#pragma once

#include <cstdint>

// One ceiling for every picture the program allocates, so a hostile header cannot ask for more memory than a
// real picture needs. 1 GiB holds a 24-bit picture of about 350 megapixels.
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t(1) << 30;

// True when a 24-bit picture of w x h pixels (rows padded to 4 bytes, as QImage keeps them) stays within the
// ceiling. Never overflows: both sides are 32-bit at most, their product fits in 64 bits.
inline bool PictureFits(std::int64_t w, std::int64_t h)
{
    if (w < 1 || h < 1 || w > INT32_MAX || h > INT32_MAX)
        return false;
    const std::int64_t stride = (w * 3 + 3) & ~std::int64_t(3);
    return stride <= kMaxPictureBytes / h;
}

// True when a load that holds a decoded source of sourceBytesPerPixel beside the 24-bit picture it becomes stays
// within the ceiling: the ceiling counts every buffer a load holds at once.
inline bool PictureAndSourceFit(std::int64_t w, std::int64_t h, std::int64_t sourceBytesPerPixel)
{
    if (!PictureFits(w, h))
        return false;
    const std::int64_t stride = (w * 3 + 3) & ~std::int64_t(3);
    return stride + w * sourceBytesPerPixel <= kMaxPictureBytes / h;
}

// Short pixel data leaves the rest of a picture white, but a header may not make us allocate far more than the file
// can describe: a picture larger than 4096 x 4096 must find at least half its raster in the available bytes.
// smallestRaster is the fewest bytes that can hold the whole raster, in floating point: a hostile header's size
// times its bytes per pixel need not fit 64 bits, and only a comparison needs it.
inline bool RasterCanFill(std::int64_t w, std::int64_t h, double smallestRaster, std::int64_t available)
{
    constexpr std::int64_t kSmallPicture = std::int64_t(4096) * 4096;
    return w * h <= kSmallPicture || double(available) >= smallestRaster / 2;
}
