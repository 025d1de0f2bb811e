#include "termination_signals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace pyrelto {

namespace {

bool requested = false;

} // namespace

bool terminationRequested() {
    return requested;
}

#ifdef Q_OS_UNIX

namespace {

// What the close box would do, with every dialog out of the way first: a message box refuses
// close() (it has no Cancel button), and closeAllWindows() gives up at the first modal window that
// stays open.
void endProgram() {
    requested = true;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
    for (int open = 0; open < 16 && QApplication::activePopupWidget() != nullptr; ++open)
        QApplication::activePopupWidget()->close();
    QApplication::closeAllWindows();
    // Ends every event loop, those of the dialogs included; a box that code opens while they
    // unwind (the next handed-over file's error, say) ends as soon as it opens.
    QCoreApplication::exit(0);
}

// The handler may do next to nothing; it hands the signal to the event loop through this pair.
int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void endOnTerminationSignals() {
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[16];
        while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        endProgram();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks; the next one, with the default handler back, ends the process.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

#else

void endOnTerminationSignals() {}

#endif

} // namespace pyrelto
