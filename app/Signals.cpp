// SIGTERM and SIGINT turned into a close of the main window, through a pipe the event loop watches.
#include "app/Signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

namespace blubbi {

namespace {
int SignalPipe[2] = {-1, -1};

// A dialog may be open inside a frame of the game; the window closes only once every dialog is
// closed and its nested loop has returned, so the game is never shut down under a running frame.
void CloseWhenNoDialog(QPointer<QWidget> window) {
    if (!window) return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(10, window, [window] { CloseWhenNoDialog(window); });
        return;
    }
    // A signal asks nobody: unsaved work is kept against the end instead.
    window->setProperty("closingForSignal", true);
    window->close();
}

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; a full pipe already carries the request.
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[0], &byte, 1);
}
}  // namespace

void CloseOnSignals(QWidget* window) {
    if (SignalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(SignalPipe[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char buffer[16];
        while (::read(SignalPipe[1], buffer, sizeof buffer) > 0) {}
        CloseWhenNoDialog(window);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace blubbi
