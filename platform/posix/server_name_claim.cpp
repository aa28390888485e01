#include "server_name_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

// A lock on a file beside the socket: the kernel drops it when its holder
// dies, and the socket file alone cannot tell a live server from a stale one
// without connecting to it.
bool ServerNameClaim::tryClaim()
{
    if (m_held)
        return true;
    if (m_name.empty())
        return false;
    const std::string path = m_name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_held = true;
    return true;
}

void ServerNameClaim::serverListening() {}

void ServerNameClaim::release()
{
    // The lock file stays: removing it would let a waiter lock a file that
    // the next helper no longer sees.
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
    m_held = false;
}

}  // namespace platform
