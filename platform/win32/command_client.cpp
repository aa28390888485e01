#include "command_client.h"

#include "user_sid.h"
#include "windows_text.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

Waker::Waker() : m_handle(reinterpret_cast<std::intptr_t>(CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

Waker::~Waker()
{
    if (m_handle)
        CloseHandle(handleOf(m_handle));
}

void Waker::wake()
{
    SetEvent(handleOf(m_handle));
}

// Overlapped I/O: a write the helper does not take at once stays pending
// while the thread waits on other things, and a one-byte read stays pending
// all the time, ending only when the helper closes its end (it never writes).
struct CommandClient::State {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED writeOp{};
    OVERLAPPED readOp{};
    char readByte = 0;
    std::string pending;
    bool writing = false;  // a WriteFile is in flight
    bool reading = false;  // the watching ReadFile is in flight
    bool sending = false;
    bool sent = false;
    bool lost = false;

    State()
    {
        writeOp.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        readOp.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~State()
    {
        CloseHandle(writeOp.hEvent);
        CloseHandle(readOp.hEvent);
    }

    void watchForEnd()
    {
        for (;;) {
            ResetEvent(readOp.hEvent);
            DWORD got = 0;
            if (ReadFile(pipe, &readByte, 1, &got, &readOp))
                continue;  // the helper wrote: nothing it says matters
            reading = GetLastError() == ERROR_IO_PENDING;
            lost = !reading;
            return;
        }
    }

    void startWrite()
    {
        ResetEvent(writeOp.hEvent);
        DWORD written = 0;
        if (WriteFile(pipe, pending.data(), static_cast<DWORD>(pending.size()), &written, &writeOp)) {
            sent = written == pending.size();
            lost = !sent;
            return;
        }
        writing = GetLastError() == ERROR_IO_PENDING;
        lost = !writing;
    }

    // Ends an operation in flight and waits for the system to let go of its buffer.
    void finish(OVERLAPPED *op, bool *inFlight)
    {
        if (!*inFlight)
            return;
        CancelIoEx(pipe, op);
        DWORD ignored = 0;
        GetOverlappedResult(pipe, op, &ignored, TRUE);
        *inFlight = false;
    }
};

CommandClient::CommandClient() : m_state(new State) {}

CommandClient::~CommandClient()
{
    close();
    delete m_state;
}

CommandClient::Connect CommandClient::connectTo(const std::string &serverName)
{
    close();
    const std::wstring path = L"\\\\.\\pipe\\" + wideFromUtf8(serverName);
    // The server may only identify us, never act as us.
    HANDLE pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_PIPE_BUSY ? Connect::Busy : Connect::Nobody;
    // Pipe names are machine-wide: one that another user made first is not
    // our helper's, and hears nothing.
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server) || !runsAsCurrentUser(server)) {
        CloseHandle(pipe);
        return Connect::Nobody;
    }
    m_state->pipe = pipe;
    m_state->watchForEnd();
    return Connect::Connected;
}

bool CommandClient::isOpen() const
{
    return m_state->pipe != INVALID_HANDLE_VALUE;
}

void CommandClient::close()
{
    State &s = *m_state;
    if (s.pipe != INVALID_HANDLE_VALUE) {
        s.finish(&s.writeOp, &s.writing);
        s.finish(&s.readOp, &s.reading);
        CloseHandle(s.pipe);
    }
    s.pipe = INVALID_HANDLE_VALUE;
    s.pending.clear();
    s.sending = s.sent = s.lost = false;
}

void CommandClient::send(std::string bytes)
{
    State &s = *m_state;
    s.pending = std::move(bytes);
    s.sending = true;
    s.sent = false;
    s.startWrite();
}

bool CommandClient::sending() const
{
    return m_state->sending;
}

CommandClient::Event CommandClient::wait(Waker &waker, int timeoutMs)
{
    State &s = *m_state;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (s.lost) {
            close();
            return Event::Lost;
        }
        if (s.sending && s.sent) {
            s.sending = s.sent = false;
            s.pending.clear();
            return Event::Sent;
        }
        HANDLE handles[3] = {handleOf(waker.m_handle)};
        DWORD count = 1;
        const DWORD writeIndex = s.writing ? count++ : MAXDWORD;
        if (s.writing)
            handles[writeIndex] = s.writeOp.hEvent;
        const DWORD readIndex = s.reading ? count++ : MAXDWORD;
        if (s.reading)
            handles[readIndex] = s.readOp.hEvent;
        DWORD left = INFINITE;
        if (timeoutMs >= 0) {
            const ULONGLONG now = GetTickCount64();
            left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        const DWORD ready = WaitForMultipleObjects(count, handles, FALSE, left);
        if (ready == WAIT_TIMEOUT)
            return Event::TimedOut;
        if (ready == WAIT_OBJECT_0)
            return Event::Woken;
        DWORD transferred = 0;
        if (ready == WAIT_OBJECT_0 + writeIndex) {
            s.writing = false;
            s.sent = GetOverlappedResult(s.pipe, &s.writeOp, &transferred, FALSE) && transferred == s.pending.size();
            s.lost = !s.sent;
        } else if (ready == WAIT_OBJECT_0 + readIndex) {
            s.reading = false;
            if (GetOverlappedResult(s.pipe, &s.readOp, &transferred, FALSE))
                s.watchForEnd();
            else
                s.lost = true;
        } else {
            s.lost = true;  // a handle failed: give the connection up
        }
    }
}

}  // namespace platform
