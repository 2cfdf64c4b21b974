#include "formats/open_image.h"

#include "common/failure_texts.h"
#include "common/guarded.h"
#include "common/services.h"
#include "common/translate.h"
#include "formats/loaders.h"

#include <QFileInfo>
#include <QMap>

namespace {

// The picture-class list: which class reads an extension, for anything that loads by extension.
QMap<QString, QString>& PictureClasses()
{
    static QMap<QString, QString> classes;
    return classes;
}

std::unique_ptr<TOpenImage>& OpenImageInstance()
{
    static std::unique_ptr<TOpenImage> instance;
    return instance;
}

// The extension with its dot, from the last "." of the name part; empty when there is none.
QString ExtensionOf(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot);
}

}  // namespace

QString GraphicClassOf(const QString& extension)
{
    return PictureClasses().value(extension.toLower());
}

int TOpenImageEventCollection::Register(TOpenImageEventHandler handler)
{
    handler.Extension = handler.Extension.toUpper();
    const int i = Add(handler);
    if (i == -1)
        return -1;
    if (!handler.GraphicClass.isEmpty() && handler.Extension.size() > 1)
        PictureClasses().insert(handler.Extension.mid(1).toLower(), handler.GraphicClass);
    Handlers.Items[i] = std::move(handler);
    return i;
}

int TOpenImageEventCollection::Add(const TOpenImageEventHandler& handler)
{
    const int existing = IndexOfExtension(handler);
    if (existing != -1)
        return existing;
    if (Handlers.Count >= kMaxOpenImageHandlers)
        return -1;
    return Handlers.Count++;
}

int TOpenImageEventCollection::IndexOfExtension(const TOpenImageEventHandler& handler) const
{
    return IndexOfExtension(handler.Extension);
}

int TOpenImageEventCollection::IndexOfExtension(const QString& extension) const
{
    const QString wanted = extension.toUpper();
    for (int i = 0; i < Handlers.Count; ++i)
        if (Handlers.Items[i].Extension == wanted)
            return i;
    return -1;
}

int TOpenImageEventCollection::IndexOfFile(const QString& fileName) const
{
    const QString extension = ExtensionOf(fileName);
    return extension.isEmpty() ? -1 : IndexOfExtension(extension);
}

bool TOpenImageEventCollection::IsValidIndex(int i) const
{
    return i >= 0 && i <= Handlers.Count - 1;
}

bool TOpenImageEventCollection::Execute(int index, TImageInfoRec& info) const
{
    if (!IsValidIndex(index)) {
        info.ErrorText = kIndexOutOfRange;
        return false;
    }
    return Invoke(Handlers.Items[index], info);
}

bool TOpenImageEventCollection::Invoke(const TOpenImageEventHandler& handler, TImageInfoRec& info)
{
    info.ErrorText = kIndexOutOfRange;
    return GuardedOr(false, [&] {
        if (handler.OnLoadCustom)
            return handler.OnLoadCustom(info);
        return handler.OnLoad && handler.OnLoad(info);
    });
}

QString TOpenImageEventCollection::GetFilter(int index, int style) const
{
    QString result;
    if (index == -3) {
        for (int i = 0; i < Handlers.Count; ++i) {
            const TOpenImageEventHandler& h = Handlers.Items[i];
            if (style == 0)
                result += h.Description + " (*" + h.Extension.toLower() + ")|*" + h.Extension + ";|";
            else
                result += "*" + h.Extension + ";";
        }
    } else if (index == -1) {
        QString patterns;
        for (int i = 0; i < Handlers.Count; ++i)
            patterns += "*" + Handlers.Items[i].Extension + ";";
        result = style == 0 ? Translate("All Pictures") + "|" + patterns + "|" : patterns;
    } else if (index == -2) {
        result = GetFilter(-1, style) + GetFilter(-3, style);
    } else if (IsValidIndex(index)) {
        const TOpenImageEventHandler& h = Handlers.Items[index];
        const QString pattern = "*" + h.Extension;
        result = style == 0 ? h.Description + " (" + pattern + ")|" + pattern + "|" : pattern;
    }
    return result;
}

void TOpenImageEventCollection::Clear()
{
    Handlers.Count = 0;
}

TOpenImage::TOpenImage() : Collection(std::make_unique<TOpenImageEventCollection>())
{
    RegisterFormats();
}

TOpenImage::~TOpenImage()
{
    if (Collection)
        Collection->Clear();
}

void TOpenImage::RegisterFormats()
{
    struct TFormat {
        const char* Extension;
        QString Description;
        bool (*Loader)(TImageInfoRec&);
        const char* GraphicClass;
    };
    const QString monochrome = " (" + Translate("Monochrome") + ")";
    const TFormat formats[] = {
        {".BMP", Translate("Bitmap"), LoadBitmapFile, "TBitmap"},
        {".DIB", Translate("Device Independant Bitmap"), LoadBitmapFile, "TBitmap"},
        {".RLE", Translate("Windows RLE"), LoadBitmapFile, "TBitmap"},
        {".JPG", Translate("Jpeg"), LoadJpegFile, "TJPEGImage"},
        {".JIF", Translate("Jpeg"), LoadJpegFile, "TJPEGImage"},
        {".ICO", Translate("Icon"), LoadIconFile, "TIcon"},
        {".WMF", Translate("Windows Metafile"), LoadMetafileFile, "TMetafile"},
        {".EMF", Translate("Enhanced Windows Metafile"), LoadMetafileFile, "TMetafile"},
        {".PPM", Translate("Portable Pixelmaxp"), LoadPortableFile, "TPortablePixelmap"},
        {".PGM", Translate("Portable Graymap"), LoadPortableFile, "TPortablePixelmap"},
        {".PBM", Translate("Portable Bitmap") + monochrome, LoadPortableFile, "TPortablePixelmap"},
        {".XBM", Translate("X Bitmap") + monochrome, LoadXBitmapFile, "TXBitmap"},
        {".TEP", Translate("Text Picture"), LoadTextPictureFile, "TTextPicture"},
        // Photos as cameras, phones, browsers and scanners write them, after the program's own table.
        {".JPEG", Translate("Jpeg"), LoadJpegFile, "TJPEGImage"},
        {".JPE", Translate("Jpeg"), LoadJpegFile, "TJPEGImage"},
        {".PNG", Translate("Portable Network Graphics"), LoadPngFile, nullptr},
        {".GIF", Translate("Graphics Interchange Format"), LoadGifFile, nullptr},
        {".TIF", Translate("Tagged Image File"), LoadTiffFile, nullptr},
        {".TIFF", Translate("Tagged Image File"), LoadTiffFile, nullptr},
        {".WEBP", Translate("WebP"), LoadWebpFile, nullptr},
        {".HEIC", Translate("High Efficiency Image"), LoadHeifFile, nullptr},
        {".HEIF", Translate("High Efficiency Image"), LoadHeifFile, nullptr},
        {".AVIF", Translate("AV1 Image"), LoadHeifFile, nullptr},
    };
    for (const TFormat& f : formats)
        Collection->Register({f.Extension, f.Description, f.Loader, {}, f.GraphicClass ? f.GraphicClass : ""});
}

bool TOpenImage::OpenFile(TImageInfoRec& info) const
{
    return GuardedOr(false, [&] { return Collection->Execute(Collection->IndexOfFile(info.FileName), info); });
}

TOpenImage& GetOpenImage()
{
    return CreatedOnce(OpenImageInstance());
}

void FreeOpenImage()
{
    OpenImageInstance().reset();
}
