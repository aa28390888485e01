#include "desktop_session.h"

#include "start_hidden.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int g_quitPipe[2] = {-1, -1};

void requestQuit(int)
{
    const char byte = 0;
    const ssize_t ignored = ::write(g_quitPipe[1], &byte, 1);
    (void)ignored;
}

}  // namespace

bool displayAvailable()
{
    if (qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void useDialogFont(QApplication *)
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Condensed"), 8));
}

bool startedHidden()
{
    // Set by the launcher, standing in for the show state Windows hands a
    // new process; taken away so nothing started from here inherits it.
    const bool hidden = qgetenv(kStartHiddenVariable) == "1";
    qunsetenv(kStartHiddenVariable);
    return hidden;
}

// The signal handler only writes a byte; the event loop does the rest.
void quitOnTerminationSignals(QCoreApplication *app)
{
    if (g_quitPipe[0] >= 0 || ::pipe(g_quitPipe) != 0)
        return;
    for (int fd : g_quitPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(g_quitPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action {
    };
    action.sa_handler = requestQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace platform
