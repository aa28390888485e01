// At most one helper of a user serves the command server name at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace platform {

// A claim on the command server name. It ends with the process at the
// latest, so a helper that crashed never keeps the name from the next.
class ServerNameClaim
{
public:
    explicit ServerNameClaim(std::string serverName) : m_name(std::move(serverName)) {}
    ~ServerNameClaim() { release(); }
    ServerNameClaim(const ServerNameClaim &) = delete;
    ServerNameClaim &operator=(const ServerNameClaim &) = delete;

    // True when this process holds the name now; never waits.
    bool tryClaim();
    bool held() const { return m_held; }
    // The server listens under the name: on Windows its own pipe instances
    // keep the name from here on.
    void serverListening();
    // Another helper may take the name once the server has closed too.
    void release();

private:
    std::string m_name;
    std::intptr_t m_handle = -1;  // the lock file, or the pipe's first instance
    std::intptr_t m_lock = -1;    // Windows: a named mutex beside the pipe
    bool m_held = false;
};

}  // namespace platform
