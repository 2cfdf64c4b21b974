#pragma once

#include "formats/image_info.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <memory>

// What a photo carries beside its pixels: the camera's orientation, its resolution and its colour profile.
struct TPhotoMetadata {
    int Orientation = 1;    // EXIF orientation 1..8; 1 is upright
    double DpiX = 0;        // pixels per inch; 0 when the file gives none
    double DpiY = 0;
    QByteArray IccProfile;  // the embedded ICC profile; empty when none
};

// Profiles beyond this are no real profile: they are ignored, and the picture is taken as sRGB.
inline constexpr qsizetype kMaxIccProfileBytes = 16 << 20;

// Takes orientation and resolution from an EXIF block (with or without its "Exif\0\0" header); what the block
// lacks or gets wrong leaves metadata as it was.
void ReadExifBlock(const QByteArray& exif, TPhotoMetadata& metadata);

// The picture turned and mirrored so that a picture stored with this EXIF orientation stands upright; a null
// image when there is no memory for it. Orientations outside 2..8 leave it as it is.
QImage Oriented(const QImage& picture, int orientation);
// True when the orientation turns the picture by a quarter: its width and height trade places.
bool SwapsAxes(int orientation);

// Converts a 24-bit picture from the RGB colour space of an ICC profile to sRGB (relative colorimetric).
// Nothing changes when the profile is empty, malformed, too large or not an RGB profile.
void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile);

// CMYK rows to 24-bit sRGB through a CMYK ICC profile.
class TCmykToSrgb {
public:
    // inverted: the inks are stored as Adobe writes them (255 is no ink).
    TCmykToSrgb(const QByteArray& iccProfile, bool inverted);
    ~TCmykToSrgb();
    TCmykToSrgb(const TCmykToSrgb&) = delete;
    TCmykToSrgb& operator=(const TCmykToSrgb&) = delete;

    // False when the profile is unusable for CMYK; the caller then converts without it.
    bool IsValid() const { return FTransform != nullptr; }
    void Convert(const std::uint8_t* cmyk, std::uint8_t* bgr, int width) const;

private:
    void* FTransform = nullptr;
};

// The last step of the photo loaders: lays a translucent picture on the background (info.BackColor, white when
// none), converts its colours to sRGB, stands it upright when info.AutoRotate asks for it, keeps its resolution
// in info and makes it the target.
bool FinishPhoto(TImageInfoRec& info, const QImage& source, const TPhotoMetadata& metadata);
