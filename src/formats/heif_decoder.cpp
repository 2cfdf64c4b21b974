#include "formats/heif_decoder.h"

#include "common/bitmap.h"
#include "common/failure_texts.h"
#include "common/limits.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include <libheif/heif.h>

#include <limits>
#include <memory>

namespace {

struct THeifFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
template <typename T>
using THeif = std::unique_ptr<T, THeifFree>;

// libheif refuses a side beyond this while it reads the container, before it allocates.
constexpr int kMaxHeifSide = 1 << 16;
constexpr std::size_t kMaxExifBytes = 1 << 20;

QByteArray ColourProfile(const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
        return {};
    const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > std::size_t(kMaxIccProfileBytes))
        return {};
    QByteArray profile(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

// Orientation and resolution from the EXIF block.
void ReadExif(const heif_image_handle* handle, TPhotoMetadata& metadata)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) != 1)
        return;
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size <= 4 || size > kMaxExifBytes)
        return;
    QByteArray block(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return;
    // The block starts with the offset of its TIFF header.
    const quint32 offset = (quint32(uchar(block[0])) << 24) | (uchar(block[1]) << 16) | (uchar(block[2]) << 8) |
                           uchar(block[3]);
    if (offset > size - 4)
        return;
    ReadExifBlock(block.mid(4 + qsizetype(offset)), metadata);
}

// One ISO base media box inside bytes: its type and contents; false when the header does not fit.
struct TBox {
    QByteArray Type;
    qsizetype Body = 0;  // offset of the contents
    qsizetype End = 0;   // offset just past the box
};

bool NextBox(const QByteArray& bytes, qsizetype at, qsizetype end, TBox& box)
{
    if (end - at < 8)
        return false;
    const auto u32 = [&](qsizetype i) { return qFromBigEndian<quint32>(bytes.constData() + i); };
    quint64 size = u32(at);
    box.Type = bytes.mid(at + 4, 4);
    box.Body = at + 8;
    if (size == 1) {
        if (end - at < 16)
            return false;
        size = (quint64(u32(at + 8)) << 32) | u32(at + 12);
        box.Body = at + 16;
    } else if (size == 0) {
        size = quint64(end - at);
    }
    if (size < quint64(box.Body - at) || size > quint64(end - at))
        return false;
    box.End = at + qsizetype(size);
    return true;
}

// Finds the child of the given type between at and end; its body and end go into box.
bool FindBox(const QByteArray& bytes, qsizetype at, qsizetype end, const char* type, TBox& box)
{
    while (NextBox(bytes, at, end, box)) {
        if (box.Type == type)
            return true;
        at = box.End;  // every box is at least 8 bytes long, so the walk ends
    }
    return false;
}

// Whether the container turns or mirrors its pictures itself (phones record the camera's orientation so). Where
// it does, libheif applies that and the EXIF orientation only repeats it; where it does not, the EXIF
// orientation is the only record there is.
bool HasTransformations(const QByteArray& meta)
{
    TBox iprp;
    TBox ipco;
    TBox property;
    // meta is a full box: 4 bytes of version and flags come first.
    if (meta.size() < 4 || !FindBox(meta, 4, meta.size(), "iprp", iprp) ||
        !FindBox(meta, iprp.Body, iprp.End, "ipco", ipco))
        return false;
    return FindBox(meta, ipco.Body, ipco.End, "irot", property) || FindBox(meta, ipco.Body, ipco.End, "imir", property);
}

// The contents of the top-level meta box of a file, found by stepping from box header to box header.
QByteArray MetaBoxOf(QIODevice& file)
{
    constexpr qint64 kMaxMetaBytes = 16 << 20;
    const qint64 size = file.size();
    qint64 at = 0;
    while (size - at >= 8 && file.seek(at)) {
        const QByteArray header = file.read(std::min<qint64>(16, size - at));
        // The header is judged against the whole rest of the file, of which only its first bytes are at hand.
        TBox box;
        const qsizetype claimed = qsizetype(std::min<qint64>(size - at, std::numeric_limits<qsizetype>::max()));
        QByteArray padded = header;
        if (padded.size() < 16)
            padded.append(QByteArray(16 - padded.size(), '\0'));
        if (!NextBox(padded, 0, claimed, box))
            return {};
        if (box.Type == "meta") {
            const qint64 length = qint64(box.End) - box.Body;
            if (length > kMaxMetaBytes || !file.seek(at + box.Body))
                return {};
            return file.read(length);
        }
        at += box.End;  // at least 8 bytes forward
    }
    return {};
}

// Rows of interleaved RGB into a 24-bit picture (blue, green, red).
QImage FromRgb(const std::uint8_t* plane, int stride, int width, int height)
{
    QImage picture = NewBitmap24(width, height);
    if (picture.isNull())
        return picture;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = plane + std::size_t(y) * stride;
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return picture;
}

bool Decode(heif_context* context, bool applyTransformations, bool containerTransforms, THeifResult& result,
            QString& errorText)
{
    errorText = kUnknownFormat;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context, &rawHandle).code != heif_error_Ok)
        return false;
    const THeif<heif_image_handle> handle(rawHandle);
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    // Check both the stored and the shown size: a quarter turn trades them.
    const int w = heif_image_handle_get_width(handle.get());
    const int h = heif_image_handle_get_height(handle.get());
    errorText = kOutOfMemory;
    if (!PictureFits(w, h) || std::int64_t(w) * h * (alpha ? 4 : 3) > kMaxPictureBytes)
        return false;

    const THeif<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options)
        return false;
    options->ignore_transformations = applyTransformations ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    errorText = kUnknownFormat;
    heif_image* rawImage = nullptr;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get())
            .code != heif_error_Ok)
        return false;
    const THeif<heif_image> image(rawImage);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || !PictureFits(width, height) || stride < width * (alpha ? 4 : 3))
        return false;

    errorText = kOutOfMemory;
    QImage& picture = result.Picture;
    if (alpha)
        picture = QImage(plane, width, height, stride, QImage::Format_RGBA8888).copy();
    else
        picture = FromRgb(plane, stride, width, height);
    if (picture.isNull())
        return false;
    heif_error warning{};
    if (heif_image_get_decoding_warnings(image.get(), 0, &warning, 1) == 1 && warning.message)
        result.Warning = QString::fromUtf8(warning.message);
    result.Metadata.IccProfile = ColourProfile(handle.get());
    ReadExif(handle.get(), result.Metadata);
    if (containerTransforms)
        result.Metadata.Orientation = 1;
    return true;
}

THeif<heif_context> NewContext()
{
    THeif<heif_context> context(heif_context_alloc());
    if (context)
        heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide);
    return context;
}

}  // namespace

bool DecodeHeifFile(const QString& fileName, bool applyTransformations, THeifResult& result, QString& errorText)
{
    errorText = kOutOfMemory;
    const THeif<heif_context> context = NewContext();
    if (!context)
        return false;
    errorText = kUnknownFormat;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const bool transforms = HasTransformations(MetaBoxOf(file));
    file.close();
    if (heif_context_read_from_file(context.get(), QFile::encodeName(fileName).constData(), nullptr).code !=
        heif_error_Ok)
        return false;
    return Decode(context.get(), applyTransformations, transforms, result, errorText);
}

bool DecodeHeifMemory(const void* data, std::size_t size, bool applyTransformations, THeifResult& result,
                      QString& errorText)
{
    errorText = kOutOfMemory;
    const THeif<heif_context> context = NewContext();
    if (!context)
        return false;
    errorText = kUnknownFormat;
    QByteArray bytes = QByteArray::fromRawData(static_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const bool transforms = HasTransformations(MetaBoxOf(buffer));
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok)
        return false;
    return Decode(context.get(), applyTransformations, transforms, result, errorText);
}
