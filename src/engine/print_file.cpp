#include "engine/print_file.h"

#include <QFileInfo>
#include <QImageWriter>

namespace {

constexpr PageFormat kPageFormats[] = {
    {"pdf", nullptr}, {"png", "png"}, {"bmp", "bmp"}, {"jpg", "jpeg"}, {"jpeg", "jpeg"},
    {"tif", "tiff"},  {"tiff", "tiff"}, {"ppm", "ppm"},
};

}  // namespace

const PageFormat* PageFormatOf(const QString& fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    for (const PageFormat& format : kPageFormats)
        if (suffix == format.Extension)
            return &format;
    return nullptr;
}

bool CanPrintToFile(const QString& fileName)
{
    const PageFormat* format = PageFormatOf(fileName);
    return format && (!format->QtFormat || QImageWriter::supportedImageFormats().contains(format->QtFormat));
}

QString PrintFileExtensions()
{
    return QStringLiteral("PDF, PNG, BMP, JPEG, TIFF or PPM");
}
