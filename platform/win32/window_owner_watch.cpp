#include "window_owner_watch.h"

#include <QObject>
#include <QWinEventNotifier>

#include <cstdint>
#include <windows.h>

namespace platform {

namespace {

// A process handle is signalled when the process ends.
class OwnerWatch : public QObject
{
public:
    OwnerWatch(HANDLE process, std::function<void()> ended) : m_process(process), m_notifier(process, this)
    {
        connect(&m_notifier, &QWinEventNotifier::activated, this, [this, ended = std::move(ended)] {
            m_notifier.setEnabled(false);  // stays signalled: once is enough
            ended();
        });
    }
    ~OwnerWatch() override
    {
        m_notifier.setEnabled(false);
        CloseHandle(m_process);
    }

private:
    HANDLE m_process;
    QWinEventNotifier m_notifier;
};

}  // namespace

QObject *watchWindowOwner(Handle window, std::function<void()> ended)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)), &owner);
    return watchProcess(owner, std::move(ended));
}

QObject *watchProcess(std::int64_t pid, std::function<void()> ended)
{
    if (pid <= 0)
        return nullptr;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return nullptr;
    return new OwnerWatch(process, std::move(ended));
}

}  // namespace platform
