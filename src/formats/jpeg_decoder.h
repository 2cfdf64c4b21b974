#pragma once

#include "formats/photo_metadata.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

// libjpeg-turbo decoding straight into a 24-bit picture, row group by row group. Errors of the library come
// back as false results: it never ends the process and never leaves a half-made picture behind.
class TJpegDecoder {
public:
    TJpegDecoder();
    ~TJpegDecoder();
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    // Reads the header of a file, or of bytes that must outlive the decoder; false when it is no JPEG header.
    bool OpenFile(const QString& fileName);
    bool OpenMemory(const std::uint8_t* data, std::size_t size);

    // Scans of a progressive picture past this make the decode fail.
    static constexpr int kMaxScans = 500;
    // The scans read so far.
    int Scans() const;

    int Width() const;
    int Height() const;
    // What the header's markers carry: JFIF density or EXIF resolution, EXIF orientation, the ICC profile.
    const TPhotoMetadata& Metadata() const;
    // The library's first warning about damaged data; empty when it had none.
    QString Warning() const;

    // Asks for the picture reduced by the library's DCT scaling (steps of 1/8) to the smallest size that is at
    // least minWidth x minHeight, which is much faster than decoding it whole; at most the full size. After a
    // successful open; false when the library refuses the scale (the full size then stays).
    bool ScaleToAtLeast(int minWidth, int minHeight);
    // The size DecodeInto delivers: Width x Height unless scaled.
    int OutputWidth() const;
    int OutputHeight() const;

    // Decodes the opened picture into picture, a 24-bit picture of OutputWidth x OutputHeight. Damaged scan data gives what
    // could be decoded (the library fills the rest); false on a fatal error, with picture partly written. CMYK
    // pictures with a CMYK profile are converted through it.
    bool DecodeInto(QImage& picture);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};
