#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The command line: picture, title or "/AUTOPRINT", "/AUTOPRINT", and for scripts and servers options of the
// form /NAME=value anywhere after the picture, which do not count among those three.
struct TCommandLine {
    QStringList Arguments;  // the picture, the title or switch, the switch; options taken out
    QString PrintTo;        // /PRINTTO=<file>: print into this file instead of a printer
    QString Printer;        // /PRINTER=<queue>: print on this queue instead of the default one
    std::optional<std::uint8_t> Scale;
    bool ScaleToPictureResolution = false;  // /SCALE=Picture: "Custom Fixed" at the picture's own resolution
    std::optional<std::uint8_t> Position;
    std::optional<std::uint8_t> Orientation;
    std::optional<std::uint8_t> Quality;
    std::optional<std::int32_t> Copies;
    std::optional<std::int32_t> X;
    std::optional<std::int32_t> Y;
    std::optional<std::int32_t> ZoomX;
    std::optional<std::int32_t> ZoomY;
    std::optional<std::int32_t> ZoomXY;
    bool Verbose = false;  // /VERBOSE after the picture: a print run reports the printed size on standard error
    std::optional<QPoint> Window;  // /WINDOW=x,y: the window's top-left corner on the screen
    bool Help = false;     // --help, -h or /? as the first argument
    bool Version = false;  // --version as the first argument
    QString Error;         // an unknown option or a value that does not read; empty when all is well

    QString Argument(int i) const { return i < Arguments.size() ? Arguments.at(i) : QString(); }
    // "/AUTOPRINT" as argument 2 or 3.
    bool AutoPrintSwitch() const;
    // The run prints and ends without showing the window (unless the settings file asks for it, which only
    // the settings can tell).
    bool PrintRequested() const { return AutoPrintSwitch() || !PrintTo.isEmpty(); }
    // Settings or copies given for this run only.
    bool HasOverrides() const;
};

// Splits the program's arguments (without its own name).
TCommandLine ParseCommandLine(const QStringList& args);

// "/AUTOPRINT" in any mix of ASCII letter case.
bool IsAutoPrintSwitch(const QString& argument);

// The text --help prints.
QString CommandLineUsage();
// The one line for a window that cannot reach a display, and how to print without one, in the user's language.
QString NoDisplayText();

// What the process ends with: 0, or 1 once a command-line open or print has failed.
int CommandLineExitStatus();
void SetCommandLineExitStatus(int status);
