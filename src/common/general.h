#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class QObject;

// The error box, text and number conversions, the keyed byte-shift transform, and centring a window.
class TGeneral {
public:
    // Shows Translate(text) in the error box titled Translate("Error"). Never throws.
    void ShowError(const QString& text) const;
    // Shows "Out of memory", then ends the process.
    [[noreturn]] void FatalOutOfMemory() const;
    // Centres a top-level window on the primary screen, keeping its size; a null window is ignored.
    void CentreForm(QObject* form) const;

    bool TextToBool(const QString& text) const;  // true exactly for "1"
    QString BoolToText(bool value) const;        // "1" or "0"
    // The text as a decimal number (sign, fraction, exponent, blanks around), rounded half to even; 0 for empty,
    // unreadable or out-of-range text.
    std::int32_t TextToInt(const QString& text) const;
    // Replaces every occurrence left to right; inserted text is not searched again.
    void ReplaceAll(QString& text, const QString& oldText, const QString& newText) const;
    // The keyed byte-shift transform; modes 0 and 1 undo each other, 3 undoes 2 for bytes 14..255.
    QByteArray ShiftText(const QByteArray& text, const QByteArray& key, int mode) const;

    std::int32_t ColorByte0(std::int32_t v) const;  // red of a colour value
    std::int32_t ColorByte1(std::int32_t v) const;  // green
    std::int32_t ColorByte2(std::int32_t v) const;  // blue
    std::int32_t ColorByte3(std::int32_t v) const;

    // Names of the regular files matching mask (folder part + pattern), one per line, each ended by CR LF;
    // with withFolder each name is preceded by the mask's folder part.
    QString ListFiles(const QString& mask, bool withFolder) const;
};

// Where error boxes go. The desktop build shows a modal box; without one, and in tests, they go elsewhere.
using ErrorBox = std::function<void(const QString& message, const QString& title)>;
// Installs the error box; returns the previous one. An empty function restores the default (standard error).
ErrorBox SetErrorBox(ErrorBox box);

TGeneral& GetGeneral();
void FreeGeneral();
