#include "engine/ui/command_line.h"

#include "common/translate.h"
#include "platform/printer.h"

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

// A whole decimal number: an optional sign and digits, nothing else.
std::optional<std::int32_t> ReadInteger(const QString& value)
{
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    if (!ok || value.trimmed() != value || value.startsWith(u'+'))
        return std::nullopt;
    return number;
}

// The code of a settings value: its number, or its English caption without blanks in any letter case.
std::optional<std::uint8_t> ReadCode(const QString& value, const QStringList& captions)
{
    if (const std::optional<std::int32_t> code = ReadInteger(value))
        return *code >= 0 && *code < captions.size() ? std::optional<std::uint8_t>(std::uint8_t(*code)) : std::nullopt;
    for (qsizetype i = 0; i < captions.size(); ++i)
        if (QString(captions.at(i)).remove(u' ').compare(value, Qt::CaseInsensitive) == 0)
            return std::uint8_t(i);
    return std::nullopt;
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

// Stores one option; false when its value does not read.
bool ApplyOption(TCommandLine& line, const QString& name, const QString& value)
{
    const auto code = [&](std::optional<std::uint8_t>& field, const QStringList& captions) {
        field = ReadCode(value, captions);
        return field.has_value();
    };
    const auto integer = [&](std::optional<std::int32_t>& field) {
        field = ReadInteger(value);
        return field.has_value();
    };
    if (name == "PRINTTO") {
        line.PrintTo = value;
        return platform::CanPrintToFile(value);
    }
    if (name == "PRINTER") {
        line.Printer = value;
        return !value.isEmpty();
    }
    if (name == "SCALE")
        return code(line.Scale, kScales);
    if (name == "POSITION")
        return code(line.Position, kPositions);
    if (name == "ORIENTATION")
        return code(line.Orientation, kOrientations);
    if (name == "QUALITY")
        return code(line.Quality, kQualities);
    if (name == "COPIES")
        return integer(line.Copies);
    if (name == "X")
        return integer(line.X);
    if (name == "Y")
        return integer(line.Y);
    if (name == "ZOOMX")
        return integer(line.ZoomX);
    if (name == "ZOOMY")
        return integer(line.ZoomY);
    if (name == "ZOOMXY")
        return integer(line.ZoomXY);
    if (name == "WINDOW") {
        line.Window = ReadPoint(value);
        return line.Window.has_value();
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
    return Scale || Position || Orientation || Quality || Copies || X || Y || ZoomX || ZoomY || ZoomXY;
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
        if (!ApplyOption(line, name, value)) {
            if (line.Error.isEmpty())
                line.Error = Translate("Invalid value for") + " /" + name + ": \"" + value + "\"";
            break;
        }
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
        "                      PDF page, an image name (.png, .bmp, .jpg) the page bitmap itself\n"
        "  /PRINTER=queue      print on that CUPS queue instead of the default one\n"
        "  /SCALE=value        0-5 or ActualSize, ScaleToPage, FitToPage, AsIs, Custom, CustomFixed\n"
        "  /POSITION=value     0-5 or TopLeft, TopRight, BottomLeft, BottomRight, Center, Custom\n"
        "  /ORIENTATION=value  0-1 or Portrait, Landscape\n"
        "  /QUALITY=value      0-2 or Low, Medium, High\n"
        "  /COPIES=n           number of copies, 1 to 99\n"
        "  /X=n /Y=n           top-left corner in page pixels for position Custom\n"
        "  /ZOOMX=n /ZOOMY=n   percentages of scale Custom; /ZOOMXY=n of scale CustomFixed\n"
        "  /VERBOSE            a print run writes the picture's size on paper and its resolution to standard\n"
        "                      error, e.g. \"printed size 127 x 85 mm at 300 ppi\"\n"
        "These options apply to this run only; the settings file is not written.\n"
        "\n"
        "  /WINDOW=x,y         open the window with its top-left corner at x,y (may also stand alone)\n"
        "  --help, -h, /?      show this text\n"
        "  --version           show the version\n"
        "\n"
        "Exit status: 0 printed (or window closed), 1 the picture could not be opened or printed,\n"
        "2 an unknown option or a value that does not read.\n");
}

int CommandLineExitStatus()
{
    return gExitStatus;
}

void SetCommandLineExitStatus(int status)
{
    gExitStatus = status;
}
