#include "local_socket.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace bench {

namespace {

// A new stream socket and the address of `path`, or -1 when the path does
// not fit an address.
int socketFor(const std::string &path, sockaddr_un *address)
{
    if (path.size() >= sizeof address->sun_path)
        return -1;
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

}  // namespace

int listenAt(const std::string &path)
{
    sockaddr_un address;
    const std::string staging = path + ".new";
    const int fd = socketFor(staging, &address);
    if (fd < 0)
        return -1;
    // Bound under another name and moved into place once listening: a
    // peer that finds the socket file can connect at once.
    ::unlink(staging.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0
        || ::rename(staging.c_str(), path.c_str()) != 0) {
        ::unlink(staging.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

int acceptOne(int listener)
{
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

int connectTo(const std::string &path)
{
    sockaddr_un address;
    const int fd = socketFor(path, &address);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int connectWithin(const std::string &path, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int fd = connectTo(path);
        if (fd >= 0 || std::chrono::steady_clock::now() >= deadline)
            return fd;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool writeAll(int fd, const void *data, std::size_t size)
{
    const char *next = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::send(fd, next, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void closeFd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

}  // namespace bench
