#include "shell/session_end.h"

#include "shell/main_window.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array kQuitSignals{SIGTERM, SIGINT, SIGHUP};

// The write end of the self-pipe, for the signal handler; -1 while nobody listens.
volatile std::sig_atomic_t gSignalPipe = -1;

// Only async-signal-safe calls here: one byte into the pipe wakes the message loop, which does the rest.
void OnQuitSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = char(signal);
    if (gSignalPipe >= 0) {
        const ssize_t written = ::write(gSignalPipe, &byte, 1);
        static_cast<void>(written);  // a full pipe already holds a wake-up
    }
    errno = savedErrno;
}

// Owns the self-pipe and the handlers; a child of the window, so both end with it.
class TQuitSignals : public QObject {
public:
    explicit TQuitSignals(TForm1& window) : QObject(&window)
    {
        if (::pipe2(FPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        gSignalPipe = FPipe[1];
        auto* notifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, &window] {
            char byte = 0;
            while (::read(FPipe[0], &byte, 1) == 1) {
            }
            window.Shutdown();
        });
        struct sigaction action {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : kQuitSignals)
            ::sigaction(signal, &action, nullptr);
    }

    ~TQuitSignals() override
    {
        if (FPipe[0] < 0)
            return;
        if (gSignalPipe == FPipe[1]) {
            for (const int signal : kQuitSignals)
                std::signal(signal, SIG_DFL);
            gSignalPipe = -1;
        }
        ::close(FPipe[0]);
        ::close(FPipe[1]);
    }

    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

private:
    std::array<int, 2> FPipe{-1, -1};
};

}  // namespace

void ConnectSessionEnd(TForm1& window)
{
    new TQuitSignals(window);
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    // The session may end the process without closing the window, and the user may still cancel the logout:
    // save now, end later.
    QObject::connect(app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.SaveSettingsIfAllowed(); });
    QObject::connect(app, &QCoreApplication::aboutToQuit, &window, [&window] { window.Shutdown(); });
}
