#include "engine/print_file.h"

#include <QFileInfo>
#include <QImageWriter>

namespace {

constexpr TPageFormat kPageFormats[] = {
    {"pdf", nullptr}, {"png", "png"}, {"bmp", "bmp"}, {"jpg", "jpeg"}, {"jpeg", "jpeg"},
    {"tif", "tiff"},  {"tiff", "tiff"}, {"ppm", "ppm"},
};

}  // namespace

const TPageFormat* PageFormatOf(const QString& fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    for (const TPageFormat& format : kPageFormats)
        if (suffix == format.Extension)
            return &format;
    return nullptr;
}

bool CanPrintToFile(const QString& fileName)
{
    const TPageFormat* format = PageFormatOf(fileName);
    return format && (!format->QtFormat || QImageWriter::supportedImageFormats().contains(format->QtFormat));
}

QString PrintFileExtensions()
{
    return QStringLiteral("PDF, PNG, BMP, JPEG, TIFF or PPM");
}
