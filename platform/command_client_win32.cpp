#include "command_client.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE toHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring pipePath(const std::string &serverName)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, serverName.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length - 1) : 0, L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, 0, serverName.c_str(), -1, &wide[0], length);
    return L"\\\\.\\pipe\\" + wide;
}

}  // namespace

CommandClient::~CommandClient()
{
    close();
}

bool CommandClient::connectTo(const std::string &serverName, int timeoutMs)
{
    close();
    const std::wstring path = pipePath(serverName);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        // Overlapped, so a write can be given up on instead of holding the host.
        HANDLE pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<std::intptr_t>(pipe);
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        // Busy: every instance is taken; wait for one within the time left.
        if (GetLastError() != ERROR_PIPE_BUSY || now >= deadline
            || !WaitNamedPipeW(path.c_str(), static_cast<DWORD>(deadline - now)))
            return false;
    }
}

bool CommandClient::isConnected()
{
    if (m_handle < 0)
        return false;
    DWORD available = 0;
    if (!PeekNamedPipe(toHandle(m_handle), nullptr, 0, nullptr, &available, nullptr)) {
        close();
        return false;
    }
    return true;
}

bool CommandClient::write(const char *data, std::size_t size, int timeoutMs)
{
    if (m_handle < 0)
        return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent)
        return false;
    bool ok = false;
    DWORD written = 0;
    if (WriteFile(toHandle(m_handle), data, static_cast<DWORD>(size), &written, &overlapped)) {
        ok = written == size;
    } else if (GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(overlapped.hEvent, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            CancelIo(toHandle(m_handle));  // the helper does not read: give the connection up
        ok = GetOverlappedResult(toHandle(m_handle), &overlapped, &written, TRUE) && written == size;
    }
    CloseHandle(overlapped.hEvent);
    if (!ok)
        close();
    return ok;
}

void CommandClient::close()
{
    if (m_handle >= 0)
        CloseHandle(toHandle(m_handle));
    m_handle = -1;
}

}  // namespace platform
