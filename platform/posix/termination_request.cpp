#include "termination_request.h"

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int g_wakeFd = -1;
volatile std::sig_atomic_t g_requested = 0;

// Only the flag and the write are safe in a signal handler; the event loop
// does the rest. The pipe lives as long as the process, so the write never
// meets a closed reader.
void noteSignal(int)
{
    g_requested = 1;
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

void onTerminationRequest(QObject *owner, std::function<void()> requested)
{
    int fds[2];
    if (g_wakeFd >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_wakeFd = fds[1];
    auto *notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [readFd = fds[0], requested = std::move(requested)] {
        char bytes[64];
        while (::read(readFd, bytes, sizeof bytes) > 0) {
        }
        requested();
    });
    struct sigaction action {
    };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

bool terminationRequested()
{
    return g_requested != 0;
}

}  // namespace platform
