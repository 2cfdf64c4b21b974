#include "common/services.h"
#include "engine/ui/command_line.h"
#include "platform/message_box.h"
#include "shell/main_window.h"
#include "shell/session_end.h"
#include "support/language.h"

#include <QApplication>

#include <cstdio>

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

    InitServices();
    QApplication app(argc, argv);
    TLanguageTranslator toolkitTexts;
    QApplication::installTranslator(&toolkitTexts);
    if (!headless)
        InstallErrorBox();
    TForm1 window(QApplication::arguments().mid(1));
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
