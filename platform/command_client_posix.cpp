#include "command_client.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & events) != 0;
}

}  // namespace

CommandClient::~CommandClient()
{
    close();
}

bool CommandClient::connectTo(const std::string &serverName, int timeoutMs)
{
    close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (serverName.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, serverName.c_str(), serverName.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    // A full accept queue makes a local connect wait; anything else is final.
    if (result < 0 && !(errno == EAGAIN || errno == EINPROGRESS)) {
        ::close(fd);
        return false;
    }
    if (result < 0) {
        int error = 0;
        socklen_t length = sizeof error;
        if (!waitFor(fd, POLLOUT, timeoutMs) || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error) {
            ::close(fd);
            return false;
        }
    }
    m_handle = fd;
    return true;
}

bool CommandClient::isConnected()
{
    if (m_handle < 0)
        return false;
    // The helper never writes: end-of-stream or an error means it is gone.
    char byte;
    const ssize_t got = ::recv(static_cast<int>(m_handle), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        close();
        return false;
    }
    return true;
}

bool CommandClient::write(const char *data, std::size_t size, int timeoutMs)
{
    const int fd = static_cast<int>(m_handle);
    while (fd >= 0 && size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT, timeoutMs))
            continue;
        close();
        return false;
    }
    return fd >= 0;
}

void CommandClient::close()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

}  // namespace platform
