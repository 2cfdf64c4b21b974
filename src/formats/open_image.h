#pragma once

#include "formats/image_info.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>

// A loader: true when the picture is in info.Bitmap; on false info.ErrorText tells why.
using TOpenImageEvent = std::function<bool(TImageInfoRec&)>;

// One registered format.
struct TOpenImageEventHandler {
    QString Extension;            // with its leading dot, stored upper-case (".BMP")
    QString Description;          // shown in dialog filters, already translated
    TOpenImageEvent OnLoad;       // the registry's loader
    TOpenImageEvent OnLoadCustom; // when set, called instead of OnLoad
    QString GraphicClass;         // name of the picture class that reads the format; empty when none
};

inline constexpr int kMaxOpenImageHandlers = 100;

// The fixed table: slots 0..Count-1 are in use, in registration order.
struct TOpenImageEventHandlers {
    std::array<TOpenImageEventHandler, kMaxOpenImageHandlers> Items;
    qint32 Count = 0;
};

// The registry's table of formats, keyed by upper-case extension.
class TOpenImageEventCollection {
public:
    TOpenImageEventHandlers Handlers;

    // Stores the handler (extension upper-cased) in the slot Add gives, replacing an entry of the same
    // extension in place; -1 and no change when the table is full.
    int Register(TOpenImageEventHandler handler);
    // The slot of an entry with the same extension, else the next free slot (Count grows), else -1.
    int Add(const TOpenImageEventHandler& handler);
    int IndexOfExtension(const TOpenImageEventHandler& handler) const;
    int IndexOfExtension(const QString& extension) const;
    // By the extension of the name part (from its last "."); a name without one matches nothing.
    int IndexOfFile(const QString& fileName) const;
    bool IsValidIndex(int i) const;
    // "Index out of range" when index is not in use, else the slot's loader.
    bool Execute(int index, TImageInfoRec& info) const;
    // OnLoadCustom when set, else OnLoad; an escaping exception is a false result.
    static bool Invoke(const TOpenImageEventHandler& handler, TImageInfoRec& info);
    // index >= 0: one format; -1: "All Pictures"; -2: the complete filter; -3: every format's item.
    // style 0: "description|patterns|" dialog form; style 1: bare patterns.
    QString GetFilter(int index, int style) const;
    // Count = 0; later registrations overwrite the old slots.
    void Clear();
    int Count() const { return Handlers.Count; }
};

// The format registry: picks the loader by the file's extension, never by its content.
class TOpenImage {
public:
    TOpenImage();
    ~TOpenImage();
    TOpenImage(const TOpenImage&) = delete;
    TOpenImage& operator=(const TOpenImage&) = delete;

    std::unique_ptr<TOpenImageEventCollection> Collection;

    // True when the picture is in info.Bitmap at 24 bits per pixel; on false info.ErrorText tells why, and a
    // target that the loader did not reach keeps its picture. Never throws.
    bool OpenFile(TImageInfoRec& info) const;

private:
    void RegisterFormats();
};

// The picture classes announced by Register, by lower-case extension without the dot; empty when none.
QString GraphicClassOf(const QString& extension);

// The program-wide registry, created on first use; null only when it cannot be created.
TOpenImage& GetOpenImage();
// Frees the registry at program end (before the dialog service); the next GetOpenImage makes a fresh one.
void FreeOpenImage();
