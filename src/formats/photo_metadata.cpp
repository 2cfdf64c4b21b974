#include "formats/photo_metadata.h"

#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/limits.h"
#include "formats/loader_common.h"

#include <QTransform>

#include <libexif/exif-data.h>
#include <lcms2.h>


namespace {

// libexif and lcms2 objects freed by their own functions.
struct TExifDataFree {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct TProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using TExifData = std::unique_ptr<ExifData, TExifDataFree>;
using TProfile = std::unique_ptr<void, TProfileClose>;

constexpr char kExifHeader[] = "Exif\0\0";
constexpr int kExifHeaderBytes = 6;

const ExifEntry* Ifd0Entry(ExifData* data, ExifTag tag, ExifFormat format)
{
    const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], tag);
    if (!entry || entry->format != format || entry->components < 1 || !entry->data ||
        entry->size < exif_format_get_size(format))
        return nullptr;
    return entry;
}

// A resolution tag in pixels per inch; 0 when absent, zero or absurd.
double ResolutionOf(ExifData* data, ExifTag tag, double unitsPerInch)
{
    const ExifEntry* entry = Ifd0Entry(data, tag, EXIF_FORMAT_RATIONAL);
    if (!entry)
        return 0;
    const ExifRational r = exif_get_rational(entry->data, exif_data_get_byte_order(data));
    if (r.denominator == 0 || r.numerator == 0)
        return 0;
    const double dpi = double(r.numerator) / r.denominator * unitsPerInch;
    return dpi >= 1 && dpi <= 1e6 ? dpi : 0;
}

// A profile lcms2 can read, within the size a real profile has.
TProfile OpenProfile(const QByteArray& icc)
{
    if (icc.isEmpty() || icc.size() > kMaxIccProfileBytes)
        return nullptr;
    return TProfile(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
}

void* NewTransform(const QByteArray& icc, cmsColorSpaceSignature space, cmsUInt32Number inputFormat)
{
    const TProfile input = OpenProfile(icc);
    if (!input || cmsGetColorSpace(input.get()) != space)
        return nullptr;
    const TProfile srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        return nullptr;
    return cmsCreateTransform(input.get(), inputFormat, srgb.get(), TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC, 0);
}


}  // namespace

void ReadExifBlock(const QByteArray& exif, TPhotoMetadata& metadata)
{
    // libexif finds the block by its header: a bare TIFF structure (PNG, WebP) gets one.
    QByteArray block = exif;
    if (!block.startsWith(QByteArray(kExifHeader, kExifHeaderBytes)))
        block.prepend(kExifHeader, kExifHeaderBytes);
    const TExifData data(exif_data_new());
    if (!data)
        return;
    // Read what is there; never invent tags a file leaves out, however usual they are.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(block.constData()),
                        unsigned(block.size()));

    if (const ExifEntry* entry = Ifd0Entry(data.get(), EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT)) {
        const int orientation = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
        if (orientation >= 1 && orientation <= 8)
            metadata.Orientation = orientation;
    }
    double unitsPerInch = 1;  // inches unless the file says centimetres
    if (const ExifEntry* entry = Ifd0Entry(data.get(), EXIF_TAG_RESOLUTION_UNIT, EXIF_FORMAT_SHORT)) {
        const int unit = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
        if (unit == 1)
            return;  // no absolute unit: an aspect ratio only
        if (unit == 3)
            unitsPerInch = 2.54;
    }
    const double x = ResolutionOf(data.get(), EXIF_TAG_X_RESOLUTION, unitsPerInch);
    const double y = ResolutionOf(data.get(), EXIF_TAG_Y_RESOLUTION, unitsPerInch);
    if (x > 0 && y > 0) {
        metadata.DpiX = x;
        metadata.DpiY = y;
    }
}

bool SwapsAxes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

QImage Oriented(const QImage& picture, int orientation)
{
    if (orientation < 2 || orientation > 8)
        return picture;
    // Mirror or flip first, then turn a quarter to the right where the orientation asks for it.
    QImage result = picture;
    if (orientation == 2 || orientation == 7)
        result = result.mirrored(true, false);
    else if (orientation == 4 || orientation == 5)
        result = result.mirrored(false, true);
    else if (orientation == 3)
        result = result.mirrored(true, true);
    if (result.isNull())
        return result;
    if (orientation >= 5 && orientation <= 7)
        result = result.transformed(QTransform().rotate(90));
    else if (orientation == 8)
        result = result.transformed(QTransform().rotate(270));
    return result;
}

void ConvertToSrgb(QImage& picture, const QByteArray& iccProfile)
{
    if (picture.isNull() || picture.format() != kFormat24)
        return;
    void* transform = NewTransform(iccProfile, cmsSigRgbData, TYPE_BGR_8);
    if (!transform)
        return;
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uchar* row = picture.scanLine(y);
        cmsDoTransform(transform, row, row, cmsUInt32Number(width));
    }
    cmsDeleteTransform(transform);
}

TCmykToSrgb::TCmykToSrgb(const QByteArray& iccProfile, bool inverted)
    : FTransform(NewTransform(iccProfile, cmsSigCmykData, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8))
{
}

TCmykToSrgb::~TCmykToSrgb()
{
    if (FTransform)
        cmsDeleteTransform(FTransform);
}

void TCmykToSrgb::Convert(const std::uint8_t* cmyk, std::uint8_t* bgr, int width) const
{
    cmsDoTransform(FTransform, cmyk, bgr, cmsUInt32Number(width));
}

bool FinishPhoto(TImageInfoRec& info, const QImage& source, const TPhotoMetadata& metadata)
{
    info.ErrorText = kOutOfMemory;
    if (source.isNull())
        return DrawIntoTarget(info, source);
    if (!PictureFits(source.width(), source.height()))
        return false;
    QImage picture = Composed24(source, info.BackColor == -1 ? QColor(Qt::white) : ColorFromValue(info.BackColor));
    if (picture.isNull())
        return false;
    ConvertToSrgb(picture, metadata.IccProfile);
    const int orientation = info.AutoRotate ? metadata.Orientation : 1;
    picture = Oriented(picture, orientation);
    if (picture.isNull())
        return false;
    const bool swap = SwapsAxes(orientation);
    info.DpiX = swap ? metadata.DpiY : metadata.DpiX;
    info.DpiY = swap ? metadata.DpiX : metadata.DpiY;
    if (swap && info.FullSize.isValid())
        info.FullSize.transpose();
    return DrawIntoTarget(info, picture);
}
