#include "common/failure_texts.h"
#include "common/general.h"

#include "common/guarded.h"
#include "common/services.h"
#include "common/translate.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QVariant>

#include <charconv>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<TGeneral>& GeneralInstance()
{
    static std::unique_ptr<TGeneral> instance;
    return instance;
}

ErrorBox& Box()
{
    static ErrorBox box;
    return box;
}

void ErrorToStandardError(const QString& message, const QString& title)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(message));
    std::fflush(stderr);
}

// Reads a decimal number with optional sign, fraction and exponent; '.' and the user's decimal separator both
// mark the fraction. Returns false for anything else, including infinities.
bool ReadDecimal(QString text, double& value)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    const QString separator = QLocale::system().decimalPoint();
    if (separator != ".")
        text.replace(separator, ".");
    QByteArray bytes = text.toLatin1();
    if (bytes.contains(' ') || bytes.contains('\t'))
        return false;
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    bool negative = false;
    if (*first == '+' || *first == '-') {
        negative = *first == '-';
        ++first;
    }
    if (first == last || !(std::isdigit(uchar(*first)) || *first == '.'))
        return false;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return false;
    if (negative)
        value = -value;
    return true;
}

}  // namespace

void TGeneral::ShowError(const QString& text) const
{
    Guarded([&] {
        const QString message = Translate(text);
        const QString title = Translate("Error");
        if (Box())
            Box()(message, title);
        else
            ErrorToStandardError(message, title);
    });
}

void TGeneral::FatalOutOfMemory() const
{
    ShowError(kOutOfMemory);
    std::exit(EXIT_FAILURE);
}

void TGeneral::CentreForm(QObject* form) const
{
    if (!form)
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize screenSize = screen->geometry().size();
    const QSize size = form->property("frameGeometry").toRect().size();
    form->setProperty("pos", QPoint((screenSize.width() - size.width()) / 2,
                                    (screenSize.height() - size.height()) / 2));
}

bool TGeneral::TextToBool(const QString& text) const { return text == "1"; }

QString TGeneral::BoolToText(bool value) const { return value ? "1" : "0"; }

std::int32_t TGeneral::TextToInt(const QString& text) const
{
    double value = 0;
    if (!ReadDecimal(text, value))
        return 0;
    const double rounded = std::nearbyint(value);  // the default rounding mode sends halves to even
    if (rounded < double(INT32_MIN) || rounded > double(INT32_MAX))
        return 0;
    return std::int32_t(rounded);
}

void TGeneral::ReplaceAll(QString& text, const QString& oldText, const QString& newText) const
{
    if (!oldText.isEmpty())
        text.replace(oldText, newText);
}

QByteArray TGeneral::ShiftText(const QByteArray& text, const QByteArray& key, int mode) const
{
    if (key.isEmpty() || mode < 0 || mode > 3)
        return text;
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype n = 0; n < text.size(); ++n) {
        const int t = uchar(text[n]);
        const int k = uchar(key[n % key.size()]);
        int s = 0;
        switch (mode) {
        case 0: s = t + k; break;
        case 1: s = t - k; break;
        case 2: s = t + k; if (s > 255) s -= 242; break;
        case 3: s = t - k; if (s < 14) s += 242; break;
        }
        out[n] = char(uchar(s & 0xFF));
    }
    return out;
}

std::int32_t TGeneral::ColorByte3(std::int32_t v) const { return v / 16777216; }

std::int32_t TGeneral::ColorByte2(std::int32_t v) const
{
    return std::int32_t((std::int64_t(v) - std::int64_t(ColorByte3(v)) * 16777216) / 65536);
}

std::int32_t TGeneral::ColorByte1(std::int32_t v) const
{
    return std::int32_t((std::int64_t(v) - std::int64_t(ColorByte3(v)) * 16777216 -
                         std::int64_t(ColorByte2(v)) * 65536) / 256);
}

std::int32_t TGeneral::ColorByte0(std::int32_t v) const
{
    return std::int32_t(std::int64_t(v) - std::int64_t(ColorByte3(v)) * 16777216 -
                        std::int64_t(ColorByte2(v)) * 65536 - std::int64_t(ColorByte1(v)) * 256);
}

QString TGeneral::ListFiles(const QString& mask, bool withFolder) const
{
    const int slash = mask.lastIndexOf('/');
    const QString folder = mask.left(slash + 1);
    const QString pattern = mask.mid(slash + 1);
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    QString result;
    const QStringList names = dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& name : names)
        result += (withFolder ? folder + name : name) + "\r\n";
    return result;
}

ErrorBox SetErrorBox(ErrorBox box)
{
    ErrorBox previous = std::move(Box());
    Box() = std::move(box);
    return previous;
}

TGeneral& GetGeneral()
{
    return CreatedOnce(GeneralInstance());
}

void FreeGeneral()
{
    GeneralInstance().reset();
}
