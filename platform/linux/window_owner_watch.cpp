#include "window_owner_watch.h"

#include "window_messages_posix.h"

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

// A pidfd becomes readable when its process ends.
class OwnerWatch : public QObject
{
public:
    OwnerWatch(int pidfd, std::function<void()> ended) : m_pidfd(pidfd), m_notifier(pidfd, QSocketNotifier::Read, this)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this, ended = std::move(ended)] {
            m_notifier.setEnabled(false);  // stays readable: once is enough
            ended();
        });
    }
    ~OwnerWatch() override
    {
        m_notifier.setEnabled(false);
        ::close(m_pidfd);
    }

private:
    int m_pidfd;
    QSocketNotifier m_notifier;
};

}  // namespace

QObject *watchWindowOwner(Handle window, std::function<void()> ended)
{
    return watchProcess(ownerProcess(window), std::move(ended));
}

QObject *watchProcess(std::int64_t pid, std::function<void()> ended)
{
    if (pid <= 0)
        return nullptr;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (pidfd >= 0)
        return new OwnerWatch(pidfd, std::move(ended));
    if (errno != ESRCH)
        return nullptr;  // a kernel without pidfds
    auto *gone = new QObject;
    QMetaObject::invokeMethod(gone, std::move(ended), Qt::QueuedConnection);
    return gone;
}

}  // namespace platform
