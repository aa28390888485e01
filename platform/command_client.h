// A writer to the helper's command server that works from any thread and
// without an event loop: plain blocking-free system calls with time limits.
// Qt-free; the plugin calls it from whatever thread the host uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class CommandClient
{
public:
    CommandClient() = default;
    ~CommandClient();
    CommandClient(const CommandClient &) = delete;
    CommandClient &operator=(const CommandClient &) = delete;

    // `serverName` as the server listens: a socket path on Unix, a pipe
    // name on Windows. Waits at most `timeoutMs` for the server.
    bool connectTo(const std::string &serverName, int timeoutMs);

    // Connected, and the server has not gone away.
    bool isConnected();

    // A connection is held; whether the server is still there shows on the
    // next write. Costs no system call.
    bool isOpen() const { return m_handle >= 0; }

    // Writes all of `data` unless the server is gone or has not taken
    // earlier words for `timeoutMs`; then the connection is closed.
    bool write(const char *data, std::size_t size, int timeoutMs);

    void close();

private:
    std::intptr_t m_handle = -1;
};

}  // namespace platform
