#include "common/services.h"
#include "engine/command_line.h"
#include "platform/message_box.h"
#include "shell/desktop_values.h"
#include "shell/main_window.h"
#include "shell/session_end.h"
#include "support/language.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

QStringList ProgramArguments(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// One line that tells a person at a terminal what to do instead of Qt's abort and core dump.
[[noreturn]] void NoDisplay()
{
    std::fprintf(stderr, "pictavo: %s\n", NoDisplayText().toLocal8Bit().constData());
    std::_Exit(1);
}

// While the application object connects to the display, Qt's messages wait here: a display that cannot be
// reached ends in Qt's fatal message, which becomes the one line of NoDisplay; otherwise they pass on.
class TDisplayConnection {
public:
    TDisplayConnection() { FPrevious = qInstallMessageHandler(&TDisplayConnection::Hold); }
    ~TDisplayConnection()
    {
        qInstallMessageHandler(FPrevious);
        for (const THeld& message : Messages())
            qt_message_output(message.Type, QMessageLogContext(), message.Text);
        Messages().clear();
    }
    TDisplayConnection(const TDisplayConnection&) = delete;
    TDisplayConnection& operator=(const TDisplayConnection&) = delete;

private:
    struct THeld {
        QtMsgType Type;
        QString Text;
    };
    static std::vector<THeld>& Messages()
    {
        static std::vector<THeld> messages;
        return messages;
    }
    static void Hold(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtFatalMsg)
            NoDisplay();
        Messages().push_back({type, text});
    }
    QtMessageHandler FPrevious = nullptr;
};

// Where the command line asks for the window, as long as that is on a screen; otherwise it stays centred.
void PlaceWindow(QWidget& window, const TCommandLine& line)
{
    if (!line.Window)
        return;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(*line.Window)) {
            window.move(*line.Window);
            return;
        }
    }
}

}  // namespace

// Never returns normally: every way out of the window goes through TForm1::Shutdown, which ends the process.
int main(int argc, char** argv)
{
    // The language file is in force before the first caption is made, the command line's messages included.
    InstallLanguage();
    // What a script asks for is settled before any window system is touched.
    const TCommandLine line = ParseCommandLine(ProgramArguments(argc, argv));
    if (line.Help) {
        std::fputs(CommandLineUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (line.Version) {
        std::printf("Pictavo %s\n", PICTAVO_VERSION);
        return 0;
    }
    if (!line.Error.isEmpty()) {
        std::fprintf(stderr, "pictavo: %s\n", line.Error.toLocal8Bit().constData());
        return 2;
    }
    // A print from the command line on a server has no screen: it runs on Qt's offscreen platform, and its
    // errors go to standard error, where a script sees them, instead of into a box nobody can close.
    const bool headless = line.PrintRequested() && !HasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!HasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        NoDisplay();

    InitServices();
    std::optional<TDisplayConnection> connecting(std::in_place);
    // Qt sees none of the arguments: if it took its own (-platform, -session, ...) out of them, the window would
    // read another command line than the one checked above.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    connecting.reset();
    // Wayland compositors find the window's desktop entry, and with it the icon and name, by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral(PICTAVO_APP_ID));
    TLanguageTranslator toolkitTexts;
    QApplication::installTranslator(&toolkitTexts);
    if (!headless)
        InstallErrorBox();
    TForm1 window(ProgramArguments(argc, argv));
    PlaceWindow(window, line);
    // An automatic print ends the process inside the window's creation; a headless print that gets here could
    // not open its picture, and nobody would ever close its invisible window.
    if (headless) {
        SetCommandLineExitStatus(1);
        window.Shutdown();
    }
    ConnectSessionEnd(window);
    window.show();
    const int status = QApplication::exec();
    EndProcess(status);
}
