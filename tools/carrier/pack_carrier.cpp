// Packs files into a carrier bitmap: a 24-bit bitmap file whose pixel data holds an archive of named items from
// byte 154 on, 0xFF before and after it. The program finds the archive there and inflates the items it needs.
//
//   pictavo_pack_carrier OUTPUT.bmp [--marker NAME] ITEM=FILE ...
//
// Each ITEM is stored deflated under its name; an item named *.bmp whose file is another picture type is
// converted to a 24-bit bitmap first. With --marker an item NAME, standing last, marks a complete set.
#include "support/carrier.h"
#include "support/zip_box.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <zlib.h>

#include <cstdio>
#include <cstdint>

namespace {

[[noreturn]] void Fail(const QString& text)
{
    std::fprintf(stderr, "pictavo_pack_carrier: %s\n", text.toLocal8Bit().constData());
    std::exit(1);
}

QByteArray Deflate(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
                  uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        Fail("deflating failed");
    out.truncate(qsizetype(size));
    return out;
}

QByteArray ReadContent(const QString& name, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("cannot read " + path);
    QByteArray content = file.readAll();
    if (name.endsWith(".bmp", Qt::CaseInsensitive) && !content.startsWith("BM")) {
        const QImage picture = QImage::fromData(content).convertToFormat(QImage::Format_RGB32);
        if (picture.isNull())
            Fail("not a picture: " + path);
        content.clear();
        QBuffer buffer(&content);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "BMP"))  // Qt writes 24 bits per pixel for a picture without alpha
            Fail("cannot convert " + path);
    }
    return content;
}

QByteArray Item(const QString& name, const QByteArray& content)
{
    TBoxItem item;
    item.pName = name.toUtf8();
    item.pM = 1;
    item.pD = Deflate(content);
    item.pSize = std::int32_t(content.size());
    item.pSizeB = std::int32_t(item.pD.size());
    return WriteComponentStream(item.ToStream());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        Fail("usage: pictavo_pack_carrier OUTPUT.bmp [--marker NAME] ITEM=FILE ...");
    QByteArray archive;
    QString marker;
    for (int i = 2; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == "--marker" && i + 1 < argc) {
            marker = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        const qsizetype equals = argument.indexOf('=');
        if (equals <= 0)
            Fail("not ITEM=FILE: " + argument);
        const QString name = argument.left(equals);
        archive += Item(name, ReadContent(name, argument.mid(equals + 1)));
    }
    if (!marker.isEmpty())
        archive += Item(marker, "Pictavo help pages: complete.\n");
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray carrier = CarrierBitmap(archive);
    if (carrier.isEmpty())
        Fail("archive too large");
    if (!file.open(QIODevice::WriteOnly) || file.write(carrier) != carrier.size() || !file.commit())
        Fail("cannot write " + file.fileName());
    return 0;
}
