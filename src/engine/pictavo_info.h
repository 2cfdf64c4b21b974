#pragma once

#include <QString>

#include <cstdint>

// The engine keeps its ratios in the widest floating type the platform has, so that ties in the rounding of
// page and preview sizes fall the same way on every run.
using Extended = long double;

// Scale modes (TPictavoInfo::Scale).
enum : std::uint8_t {
    kScaleActualSize = 0,
    kScaleToPage = 1,
    kScaleFitToPage = 2,
    kScaleAsIs = 3,
    kScaleCustom = 4,
    kScaleCustomFixed = 5,
};

// Positions (TPictavoInfo::Position).
enum : std::uint8_t {
    kPositionTopLeft = 0,
    kPositionTopRight = 1,
    kPositionBottomLeft = 2,
    kPositionBottomRight = 3,
    kPositionCenter = 4,
    kPositionCustom = 5,
};

// Page orientations (TPictavoInfo::Orientation), also the codes of the printer port.
enum : std::uint8_t {
    kOrientationPortrait = 0,
    kOrientationLandscape = 1,
};

// Print qualities (TPictavoInfo::Quality): the share of the printer's resolution the picture is rendered at.
enum : std::uint8_t {
    kQualityLow = 0,
    kQualityMedium = 1,
    kQualityHigh = 2,
};

// Sizes of the sheet in the window (TPictavo::ViewSize): fitted to the window, or twice that.
enum : std::uint8_t {
    kViewOverall = 0,
    kViewCloseUp = 1,
};

// The settings-and-layout record. It is copied whole when settings change hands; every layout computation
// works on a copy.
struct TPictavoInfo {
    QString Name;      // document name shown in the titles; cut to 32 characters when applied
    QString JobTitle;  // print job title
    QString Title;     // window title
    std::uint8_t Quality = kQualityLow;  // kQuality...
    std::uint8_t Position = 0;     // kPosition...
    std::uint8_t Scale = 0;        // kScale...
    std::uint8_t Orientation = kOrientationPortrait;  // kOrientation...
    std::int32_t ZoomX = 0;   // horizontal percentage for "Custom"
    std::int32_t ZoomY = 0;   // vertical percentage for "Custom"
    std::int32_t ZoomXY = 0;  // percentage of both axes for "Custom Fixed"
    std::int32_t PageWidth = 0;   // page size in printer pixels
    std::int32_t PageHeight = 0;
    std::int32_t X = 0;  // top-left corner in page pixels for position "Custom"
    std::int32_t Y = 0;
    std::int32_t PictureWidth = 0;
    std::int32_t PictureHeight = 0;
    std::int32_t OutLeft = 0;  // result of ComputeLayout, in output units
    std::int32_t OutTop = 0;
    std::int32_t OutWidth = 0;
    std::int32_t OutHeight = 0;
    Extended ScaleX = 1.0L;  // output units per page pixel, set by the caller of ComputeLayout
    Extended ScaleY = 1.0L;
    std::int32_t PrintWidth = 0;  // bitmap size of the last print
    std::int32_t PrintHeight = 0;
    std::int32_t PrintMemoryUsed = 0;
    std::int32_t PrintPercent = 100;
    std::int32_t PageWidthMM = 0;
    std::int32_t PageHeightMM = 0;
    std::int32_t PictureWidthMM = 0;
    std::int32_t PictureHeightMM = 0;
    QString CopiesText;      // "1 copy", "3 copies"
    bool Temporary = false;  // settings from the command line: not saved at exit
};

// The one-level undo record: every picture operation has an exact inverse, so a name and an angle suffice.
struct TPictavoUndoInfo {
    bool Available = false;
    QString Operation;  // "ROTATE", "FLIP", "MIRROR" or "INVERT"
    std::int32_t Value = 0;  // the angle applied by "ROTATE"
};
