#include "formats/jpeg_decoder.h"

#include "common/bitmap.h"
#include "common/limits.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

// The library reports a fatal error by calling error_exit, which must not return: it jumps back to the
// setjmp of the guarded call in progress. Only plain C data lives in the guarded functions, so the jump skips
// no destructor.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Resume;
    char Warning[JMSG_LENGTH_MAX];  // the first warning, for the status of a partly read picture
};

extern "C" void JpegErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Resume, 1);
}

// Warnings (damaged data the library can step over) are kept, not printed: there is no log. The library passes
// only the first one here.
extern "C" void JpegOutputMessage(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
    if (error->Warning[0] == 0)
        error->Manager.format_message(cinfo, error->Warning);
}

// The markers that carry EXIF (APP1) and ICC profiles (APP2) are kept while the header is read.
bool GuardedReadHeader(j_decompress_ptr cinfo, TJpegError& error)
{
    if (setjmp(error.Resume))
        return false;
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    return jpeg_read_header(cinfo, TRUE) == JPEG_HEADER_OK;
}

QByteArray GuardedIccProfile(j_decompress_ptr cinfo, TJpegError& error)
{
    JOCTET* data = nullptr;
    unsigned int size = 0;
    if (setjmp(error.Resume))
        return {};
    if (!jpeg_read_icc_profile(cinfo, &data, &size))
        return {};
    QByteArray profile(reinterpret_cast<const char*>(data), qsizetype(size));
    std::free(data);
    return profile;
}

// JFIF density first (it is the file's own statement), else what the EXIF block says.
TPhotoMetadata MetadataOf(j_decompress_ptr cinfo, TJpegError& error)
{
    TPhotoMetadata metadata;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            ReadExifBlock(QByteArray(reinterpret_cast<const char*>(m->data), qsizetype(m->data_length)), metadata);
            break;
        }
    if (cinfo->saw_JFIF_marker && (cinfo->density_unit == 1 || cinfo->density_unit == 2) && cinfo->X_density > 0 &&
        cinfo->Y_density > 0) {
        const double perInch = cinfo->density_unit == 2 ? 2.54 : 1.0;
        metadata.DpiX = cinfo->X_density * perInch;
        metadata.DpiY = cinfo->Y_density * perInch;
    }
    metadata.IccProfile = GuardedIccProfile(cinfo, error);
    return metadata;
}

bool GuardedOutputSize(j_decompress_ptr cinfo, TJpegError& error)
{
    if (setjmp(error.Resume))
        return false;
    jpeg_calc_output_dimensions(cinfo);
    return true;
}

bool GuardedStart(j_decompress_ptr cinfo, TJpegError& error)
{
    if (setjmp(error.Resume))
        return false;
    return jpeg_start_decompress(cinfo) != FALSE;
}

bool GuardedReadRows(j_decompress_ptr cinfo, TJpegError& error, JSAMPARRAY rows, JDIMENSION count, JDIMENSION* read)
{
    if (setjmp(error.Resume))
        return false;
    *read = jpeg_read_scanlines(cinfo, rows, count);
    return true;
}

bool GuardedFinish(j_decompress_ptr cinfo, TJpegError& error)
{
    if (setjmp(error.Resume))
        return false;
    jpeg_finish_decompress(cinfo);
    return true;
}

// CMYK to blue, green, red. Adobe writes the inks inverted (255 is no ink); others write them plain.
void CmykToBgr(const JSAMPLE* cmyk, uchar* bgr, int width, bool inverted)
{
    const unsigned flip = inverted ? 0 : 255;
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned k = cmyk[3] ^ flip;
        bgr[0] = uchar(((cmyk[2] ^ flip) * k + 127) / 255);
        bgr[1] = uchar(((cmyk[1] ^ flip) * k + 127) / 255);
        bgr[2] = uchar(((cmyk[0] ^ flip) * k + 127) / 255);
    }
}

// A progressive picture with more scans than this is built to stall: every scan is another pass over all of the
// picture's coefficients. libjpeg-turbo's own tools stop at the same count.
extern "C" void JpegProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > TJpegDecoder::kMaxScans)
        JpegErrorExit(cinfo);
}

// Rows a call hands over: enough for one row group of the library's output.
constexpr int kRowsPerCall = 16;

}  // namespace

struct TJpegDecoder::TState {
    jpeg_decompress_struct Info{};
    TJpegError Error{};
    jpeg_progress_mgr Progress{};
    std::FILE* File = nullptr;
    bool Created = false;
    bool HeaderRead = false;
    TPhotoMetadata Metadata;
    int OutputWidth = 0;   // what DecodeInto delivers
    int OutputHeight = 0;

    TState()
    {
        Info.err = jpeg_std_error(&Error.Manager);
        Error.Manager.error_exit = JpegErrorExit;
        Error.Manager.output_message = JpegOutputMessage;
        Progress.progress_monitor = JpegProgress;
    }
    ~TState()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
        if (File)
            std::fclose(File);
    }
    bool Create()
    {
        if (setjmp(Error.Resume))
            return false;
        jpeg_create_decompress(&Info);
        Info.progress = &Progress;  // creating clears every field but the error manager
        Created = true;
        return true;
    }
    bool ReadHeader()
    {
        HeaderRead = GuardedReadHeader(&Info, Error);
        if (HeaderRead)
            Metadata = MetadataOf(&Info, Error);
        OutputWidth = HeaderRead ? int(Info.image_width) : 0;
        OutputHeight = HeaderRead ? int(Info.image_height) : 0;
        return HeaderRead;
    }
};

TJpegDecoder::TJpegDecoder() : FState(std::make_unique<TState>()) {}

TJpegDecoder::~TJpegDecoder() = default;

bool TJpegDecoder::OpenFile(const QString& fileName)
{
    if (FState->Created || !FState->Create())
        return false;
    FState->File = std::fopen(QFile::encodeName(fileName).constData(), "rb");
    if (!FState->File)
        return false;
    jpeg_stdio_src(&FState->Info, FState->File);
    return FState->ReadHeader();
}

bool TJpegDecoder::OpenMemory(const std::uint8_t* data, std::size_t size)
{
    if (FState->Created || !FState->Create() || size == 0)
        return false;
    jpeg_mem_src(&FState->Info, data, static_cast<unsigned long>(size));
    return FState->ReadHeader();
}

int TJpegDecoder::Scans() const
{
    return FState->Created ? FState->Info.input_scan_number : 0;
}

int TJpegDecoder::Width() const
{
    return FState->HeaderRead ? int(FState->Info.image_width) : 0;
}

int TJpegDecoder::Height() const
{
    return FState->HeaderRead ? int(FState->Info.image_height) : 0;
}

const TPhotoMetadata& TJpegDecoder::Metadata() const
{
    return FState->Metadata;
}

QString TJpegDecoder::Warning() const
{
    return QString::fromLocal8Bit(FState->Error.Warning);
}

bool TJpegDecoder::ScaleToAtLeast(int minWidth, int minHeight)
{
    if (!FState->HeaderRead)
        return false;
    constexpr std::int64_t kEighths = 8;
    const auto covers = [&](std::int64_t eighths) {
        // The library rounds a scaled side up.
        const auto side = [&](std::int64_t full) { return (full * eighths + kEighths - 1) / kEighths; };
        return side(Width()) >= minWidth && side(Height()) >= minHeight;
    };
    std::int64_t eighths = 1;
    while (eighths < kEighths && !covers(eighths))
        ++eighths;
    jpeg_decompress_struct& info = FState->Info;
    info.scale_num = unsigned(eighths);
    info.scale_denom = unsigned(kEighths);
    if (!GuardedOutputSize(&info, FState->Error)) {
        info.scale_num = info.scale_denom = 1;
        return false;
    }
    FState->OutputWidth = int(info.output_width);
    FState->OutputHeight = int(info.output_height);
    return true;
}

int TJpegDecoder::OutputWidth() const
{
    return FState->OutputWidth;
}

int TJpegDecoder::OutputHeight() const
{
    return FState->OutputHeight;
}

bool TJpegDecoder::DecodeInto(QImage& picture)
{
    if (!FState->HeaderRead || picture.format() != kFormat24 || picture.width() != OutputWidth() ||
        picture.height() != OutputHeight())
        return false;
    jpeg_decompress_struct& info = FState->Info;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool inverted = info.saw_Adobe_marker;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    info.dct_method = JDCT_ISLOW;
    // Multi-scan pictures keep their coefficients; they get no more memory than a picture may have.
    info.mem->max_memory_to_use = kMaxPictureBytes;

    if (!GuardedStart(&info, FState->Error))
        return false;
    if (int(info.output_width) != picture.width() || int(info.output_height) != picture.height())
        return false;

    std::vector<JSAMPLE> cmykRows;
    std::unique_ptr<TCmykToSrgb> profile;
    if (cmyk) {
        cmykRows.resize(std::size_t(info.output_width) * 4 * kRowsPerCall);
        profile = std::make_unique<TCmykToSrgb>(FState->Metadata.IccProfile, inverted);
        if (!profile->IsValid())
            profile.reset();
    }
    JSAMPROW rows[kRowsPerCall];
    while (info.output_scanline < info.output_height) {
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowsPerCall, info.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = cmyk ? cmykRows.data() + std::size_t(i) * info.output_width * 4 : picture.scanLine(int(first + i));
        JDIMENSION read = 0;
        if (!GuardedReadRows(&info, FState->Error, rows, count, &read) || read == 0)
            return false;
        for (JDIMENSION i = 0; cmyk && i < read; ++i) {
            if (profile)
                profile->Convert(rows[i], picture.scanLine(int(first + i)), picture.width());
            else
                CmykToBgr(rows[i], picture.scanLine(int(first + i)), picture.width(), inverted);
        }
    }
    GuardedFinish(&info, FState->Error);  // damage after the last row changes nothing already decoded
    return true;
}
