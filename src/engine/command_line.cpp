#include "engine/command_line.h"

#include "common/translate.h"
#include "engine/print_file.h"

#include <QRegularExpression>

#include <limits>

namespace {

int gExitStatus = 0;

// The English captions of the settings' codes, as the options name them without blanks.
const QStringList kScales{"Actual Size", "Scale to Page", "Fit to Page", "As Is", "Custom", "Custom Fixed"};
const QStringList kPositions{"Top Left", "Top Right", "Bottom Left", "Bottom Right", "Center", "Custom"};
const QStringList kOrientations{"Portrait", "Landscape"};
const QStringList kQualities{"Low", "Medium", "High"};

QString AsciiUpper(QString text)
{
    for (QChar& c : text)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return text;
}

// A whole decimal number: an optional minus and digits, nothing else. Digits beyond 64 bits still read, as a
// number no range takes.
std::optional<std::int64_t> ReadInteger(const QString& value)
{
    static const QRegularExpression kWhole(QStringLiteral("^-?[0-9]+$"));
    if (!kWhole.match(value).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok, 10);
    if (!ok)
        return value.startsWith(u'-') ? std::numeric_limits<std::int64_t>::min()
                                      : std::numeric_limits<std::int64_t>::max();
    return number;
}

// "x,y": two whole numbers.
std::optional<QPoint> ReadPoint(const QString& value)
{
    const QStringList parts = value.split(u',');
    if (parts.size() != 2)
        return std::nullopt;
    const std::optional<std::int32_t> x = ReadInteger(parts[0]);
    const std::optional<std::int32_t> y = ReadInteger(parts[1]);
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

bool IsOption(const QString& argument)
{
    return argument.startsWith(u'/') && argument.indexOf(u'=') > 1;
}

// Only places the window, so it may also stand alone: New Instance starts the program with it and no picture.
bool IsWindowOption(const QString& argument)
{
    return AsciiUpper(argument.left(8)) == QLatin1String("/WINDOW=");
}

// "Scale to Page" is named ScaleToPage, as --help and the manual write it; any letter case is read.
QString CaptionList(const QStringList& captions)
{
    QStringList names;
    for (const QString& caption : captions) {
        QString name;
        for (const QString& word : caption.split(u' ', Qt::SkipEmptyParts))
            name += word.left(1).toUpper() + word.mid(1);
        names << name;
    }
    return names.join(", ");
}

// Options whose value is one of the settings' codes: its number or its English caption without blanks.
struct TCodeOption {
    const char* Name;
    std::optional<std::uint8_t> TCommandLine::*Field;
    const QStringList* Captions;
};

// Options whose value is a whole number within what the option documents.
struct TNumberOption {
    const char* Name;
    std::optional<std::int32_t> TCommandLine::*Field;
    std::int32_t Min;
    std::int32_t Max;
};

constexpr std::int32_t kMaxPercent = 3200;       // the toolbar's bars reach this far
constexpr std::int32_t kMaxPosition = 1'000'000;  // page pixels: beyond any printer's page

const TCodeOption kCodeOptions[] = {
    {"SCALE", &TCommandLine::Scale, &kScales},
    {"POSITION", &TCommandLine::Position, &kPositions},
    {"ORIENTATION", &TCommandLine::Orientation, &kOrientations},
    {"QUALITY", &TCommandLine::Quality, &kQualities},
};

const TNumberOption kNumberOptions[] = {
    {"COPIES", &TCommandLine::Copies, 1, 99},
    {"X", &TCommandLine::X, -kMaxPosition, kMaxPosition},
    {"Y", &TCommandLine::Y, -kMaxPosition, kMaxPosition},
    {"ZOOMX", &TCommandLine::ZoomX, -kMaxPercent, kMaxPercent},
    {"ZOOMY", &TCommandLine::ZoomY, -kMaxPercent, kMaxPercent},
    {"ZOOMXY", &TCommandLine::ZoomXY, -kMaxPercent, kMaxPercent},
};

QString Invalid(const QString& name, const QString& value, const QString& takes)
{
    return Translate("Invalid value for") + " /" + name + ": \"" + value + "\"; /" + name + " " + Translate("takes") +
           " " + takes;
}

// Stores one option; false with line.Error when the name is unknown or the value is not one the option takes.
bool ApplyOption(TCommandLine& line, const QString& name, const QString& value)
{
    // /SCALE=Picture: "Custom Fixed" at the picture's own resolution, known once the picture is open.
    if (name == "SCALE") {
        line.ScaleToPictureResolution = value.compare("Picture", Qt::CaseInsensitive) == 0;
        if (line.ScaleToPictureResolution) {
            line.Scale.reset();
            return true;
        }
    }
    for (const TCodeOption& option : kCodeOptions) {
        if (name != QLatin1String(option.Name))
            continue;
        const QStringList& captions = *option.Captions;
        const std::optional<std::int64_t> number = ReadInteger(value);
        std::optional<std::uint8_t> code;
        if (number && *number >= 0 && *number < captions.size())
            code = std::uint8_t(*number);
        for (qsizetype i = 0; !number && i < captions.size(); ++i)
            if (QString(captions.at(i)).remove(u' ').compare(value, Qt::CaseInsensitive) == 0)
                code = std::uint8_t(i);
        if (!code) {
            line.Error = Invalid(name, value,
                                 Translate("0 to %1 or %2").arg(captions.size() - 1).arg(CaptionList(captions)));
            return false;
        }
        line.*option.Field = code;
        return true;
    }
    for (const TNumberOption& option : kNumberOptions) {
        if (name != QLatin1String(option.Name))
            continue;
        const std::optional<std::int64_t> number = ReadInteger(value);
        if (!number || *number < option.Min || *number > option.Max) {
            const QString range = Translate("a whole number from %1 to %2").arg(option.Min).arg(option.Max);
            line.Error = Invalid(name, value, range);
            return false;
        }
        line.*option.Field = std::int32_t(*number);
        return true;
    }
    if (name == "PRINTTO") {
        line.PrintTo = value;
        if (CanPrintToFile(value))
            return true;
        line.Error = Invalid(name, value, Translate("the name of a %1 file").arg(PrintFileExtensions()));
        return false;
    }
    if (name == "PRINTER") {
        line.Printer = value;
        if (!value.isEmpty())
            return true;
        line.Error = Invalid(name, value, Translate("the name of a printer queue"));
        return false;
    }
    if (name == "WINDOW") {
        line.Window = ReadPoint(value);
        if (line.Window)
            return true;
        line.Error = Invalid(name, value, Translate("two whole numbers x,y"));
        return false;
    }
    line.Error = Translate("Unknown option") + ": /" + name;
    return false;
}

}  // namespace

bool IsAutoPrintSwitch(const QString& argument)
{
    // Upper case of ASCII letters only, so no other script's case mapping can produce the switch.
    return AsciiUpper(argument) == QLatin1String("/AUTOPRINT");
}

bool TCommandLine::AutoPrintSwitch() const
{
    return IsAutoPrintSwitch(Argument(1)) || IsAutoPrintSwitch(Argument(2));
}

bool TCommandLine::HasOverrides() const
{
    return Scale || ScaleToPictureResolution || Position || Orientation || Quality || Copies || X || Y || ZoomX ||
           ZoomY || ZoomXY;
}

TCommandLine ParseCommandLine(const QStringList& args)
{
    TCommandLine line;
    const QString first = args.value(0);
    line.Help = first == "--help" || first == "-h" || first == "/?";
    line.Version = first == "--version";
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& argument = args.at(i);
        // An empty pair of quotes is no argument at all.
        if (argument.isEmpty())
            continue;
        if (i > 0 && AsciiUpper(argument) == QLatin1String("/VERBOSE")) {
            line.Verbose = true;
            continue;
        }
        if ((i == 0 && !IsWindowOption(argument)) || !IsOption(argument)) {
            line.Arguments << argument;
            continue;
        }
        const qsizetype eq = argument.indexOf(u'=');
        const QString name = AsciiUpper(argument.mid(1, eq - 1));
        const QString value = argument.mid(eq + 1);
        if (!ApplyOption(line, name, value))
            break;
    }
    return line;
}

QString CommandLineUsage()
{
    return QStringLiteral(
        "Usage: pictavo [picture [title] [/AUTOPRINT]] [/NAME=value ...]\n"
        "\n"
        "Opens the picture; with /AUTOPRINT (any letter case) it prints it and ends without showing a window.\n"
        "A title names the document in the window caption and the print job.\n"
        "\n"
        "Options, anywhere after the picture:\n"
        "  /PRINTTO=file       print into a file instead of a printer (implies /AUTOPRINT); a .pdf name gets a\n"
        "                      PDF page, an image name (.png, .bmp, .jpg, .tif, .ppm) the page bitmap itself\n"
        "  /PRINTER=queue      print on that CUPS queue instead of the default one\n"
        "  /SCALE=value        0-5 or ActualSize, ScaleToPage, FitToPage, AsIs, Custom, CustomFixed, or Picture\n"
        "                      (CustomFixed at the picture's own resolution, where its file has one)\n"
        "  /POSITION=value     0-5 or TopLeft, TopRight, BottomLeft, BottomRight, Center, Custom\n"
        "  /ORIENTATION=value  0-1 or Portrait, Landscape\n"
        "  /QUALITY=value      0-2 or Low, Medium, High\n"
        "  /COPIES=n           number of copies, 1 to 99\n"
        "  /X=n /Y=n           top-left corner in page pixels for position Custom, -1000000 to 1000000\n"
        "  /ZOOMX=n /ZOOMY=n   percentages of scale Custom; /ZOOMXY=n of scale CustomFixed; -3200 to 3200\n"
        "  /VERBOSE            a print run writes the picture's size on paper and its resolution to standard\n"
        "                      error, e.g. \"printed size 127 x 85 mm at 300 ppi\"\n"
        "These options apply to this run only; the settings file is not written.\n"
        "\n"
        "  /WINDOW=x,y         open the window with its top-left corner at x,y (may also stand alone)\n"
        "  --help, -h, /?      show this text\n"
        "  --version           show the version\n"
        "\n"
        "Exit status: 0 printed (or window closed), 1 the picture could not be opened or printed,\n"
        "2 an unknown option or a value that does not read or is out of range.\n");
}

QString NoDisplayText()
{
    // The variables and the commands are the system's and the command line's own words, never translated.
    return Translate("the window needs a display (%1 or %2) and none can be reached; to print without one: %3, or %4")
        .arg("DISPLAY", "WAYLAND_DISPLAY", "pictavo picture /AUTOPRINT", "pictavo picture /PRINTTO=page.pdf");
}

int CommandLineExitStatus()
{
    return gExitStatus;
}

void SetCommandLineExitStatus(int status)
{
    gExitStatus = status;
}
