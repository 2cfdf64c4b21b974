#pragma once

#include "engine/pictavo_info.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>

// The arithmetic of the preview and the print layout. Real numbers become integers by rounding to the nearest
// with ties to even; integer halving truncates toward zero. A result that does not fit 32 bits, or a division
// by zero, throws std::range_error or std::domain_error for the calling operation to catch.

std::int32_t RoundEven(Extended value);
std::int32_t Half(std::int64_t value);

// 1 + p / 100 for p > 0; 1 + p / 3201 for p <= 0 (so -3200 still gives a positive size).
Extended PercentFactor(std::int32_t percent);
// size unchanged for 0 percent, else round(size x PercentFactor(percent)).
std::int32_t ScaleByPercent(std::int32_t size, std::int32_t percent);
// The "Custom Fixed" percentage that prints a picture of pictureDpi pixels per inch at its own size on a printer
// of printerDpi; 0 when either is not positive.
std::int32_t PercentForResolution(std::int32_t printerDpi, double pictureDpi);

// What ComputeLayout needs from the engine besides the settings record.
struct TLayoutDevice {
    Extended DpiX = 300;
    Extended DpiY = 300;
    Extended ScreenPPI = 75;
    std::int32_t ClientWidth = 0;  // the on-screen sheet, whose edges bound a custom-placed picture
    std::int32_t ClientHeight = 0;
};

// Places the picture on the page: OutLeft, OutTop, OutWidth, OutHeight from Scale, Position, the zooms, the
// page and picture sizes, X, Y and the output scale ScaleX, ScaleY.
void ComputeLayout(TPictavoInfo& info, const TLayoutDevice& device);
// Keeps at least 3 pixels of a custom-placed picture on the sheet.
void ClampCustomPosition(TPictavoInfo& info, std::int32_t clientWidth, std::int32_t clientHeight);

// The sheet's size in screen pixels for a scroll area client, fitted to the page's proportions and doubled for
// "Close Up" (kViewCloseUp). A page taller than wide is always fitted by height.
QSize FitPage(std::int32_t clientWidth, std::int32_t clientHeight, std::int32_t margin, Extended pageAspect,
              std::int32_t viewSize);

// The sheet placed in a scroll area whose whole inside (scroll bars included) is area: fitted once to the
// whole inside and once more to what is left beside the scroll bars the first fit needs; the bars shown are
// those the second fit needs. Starting from the whole inside every time keeps showing a bar from refitting
// the sheet, hiding the bar again and so on without end.
struct TSheetPlacement {
    QSize Sheet;     // the white page
    QSize Surround;  // the page and its margin
    bool HorizontalBar = false;
    bool VerticalBar = false;
};
TSheetPlacement PlaceSheet(QSize area, std::int32_t barExtent, std::int32_t margin, Extended pageAspect,
                           std::int32_t viewSize);

// The largest bitmap with the page's proportions, at most pageWidth wide, whose 3-byte pixels fit the budget;
// 2000 x 2500 when no such bitmap exists.
QSize PrintBitmapSize(std::int64_t budget, std::int32_t pageWidth, Extended pageAspect);

// Millimetre sizes of the page and of the picture printed one picture pixel per printer pixel.
struct TSizeInputs {
    std::int32_t PageWidth = 0;
    std::int32_t PageHeight = 0;
    std::int32_t DpiX = 300;
    std::int32_t DpiY = 300;
    std::int32_t PictureWidth = 0;
    std::int32_t PictureHeight = 0;
};
void UpdateSizes(TPictavoInfo& info, const TSizeInputs& inputs);

// Title = "<Name> - Pictavo" ("Pictavo" alone without a name); JobTitle = Title + " [<quality>, <copies>]".
void UpdateTitles(TPictavoInfo& info, const QString& qualityName);

// A settings record made safe to apply: Name cut to 32 characters, Quality, Position, Scale and Orientation
// clamped to their ranges. The percentages and X, Y are left as they are.
TPictavoInfo ValidatedInfo(TPictavoInfo info);

// The size a picture is laid out at when only a reduced copy of delivered's size was decoded: full, turned a
// quarter if the copy was turned since (its proportions then match full's transposed better). delivered itself
// when full is unknown or no larger.
QSize LayoutPictureSize(QSize delivered, QSize full);

// The smallest decode that serves a layout on both axes whether or not the picture is later turned a quarter:
// outputSize(full) gives the laid-out size of a picture of that full size.
QSize NeededDecodeSize(QSize full, const std::function<QSize(QSize full)>& outputSize);
