#include "command_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

int fdOf(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

}  // namespace

Waker::Waker() : m_handle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Waker::~Waker()
{
    if (m_handle >= 0)
        ::close(fdOf(m_handle));
}

void Waker::wake()
{
    const std::uint64_t one = 1;
    // A full counter is still a signal that stands.
    [[maybe_unused]] const ssize_t written = ::write(fdOf(m_handle), &one, sizeof one);
}

struct CommandClient::State {
    int fd = -1;
    std::string pending;
    std::size_t offset = 0;
    bool sending = false;
    bool lost = false;

    // Writes what the socket takes now; false once the server is gone.
    bool push()
    {
        while (offset < pending.size()) {
            const ssize_t sent =
                ::send(fd, pending.data() + offset, pending.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                offset += static_cast<std::size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR)
                continue;
            return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        return true;
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
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Only an absolute path that fits whole: a relative one would be looked
    // up in the client's working folder, a cut one names another socket,
    // and an empty one an abstract socket that any user can bind.
    if (serverName.empty() || serverName[0] != '/' || serverName.size() >= sizeof address.sun_path
        || serverName.find('\0') != std::string::npos)
        return Connect::Nobody;
    std::memcpy(address.sun_path, serverName.c_str(), serverName.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Connect::Nobody;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
        m_state->fd = fd;
        return Connect::Connected;
    }
    // A full accept queue: a server is there, only busy.
    const bool busy = errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return busy ? Connect::Busy : Connect::Nobody;
}

bool CommandClient::isOpen() const
{
    return m_state->fd >= 0;
}

void CommandClient::close()
{
    if (m_state->fd >= 0)
        ::close(m_state->fd);
    m_state->fd = -1;
    m_state->pending.clear();
    m_state->offset = 0;
    m_state->sending = false;
    m_state->lost = false;
}

void CommandClient::send(std::string bytes)
{
    m_state->pending = std::move(bytes);
    m_state->offset = 0;
    m_state->sending = true;
    m_state->lost = !m_state->push();
}

bool CommandClient::sending() const
{
    return m_state->sending;
}

CommandClient::Event CommandClient::wait(Waker &waker, int timeoutMs)
{
    State &s = *m_state;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (s.lost) {
            close();
            return Event::Lost;
        }
        if (s.sending && s.offset == s.pending.size()) {
            s.sending = false;
            s.pending.clear();
            return Event::Sent;
        }
        // Idle, the connection is watched for its end: the helper never
        // writes, so anything readable is its going away.
        pollfd entries[2] = {{fdOf(waker.m_handle), POLLIN, 0}, {s.fd, short(s.sending ? POLLOUT : POLLIN), 0}};
        int left = -1;
        if (timeoutMs >= 0) {
            const auto remaining = deadline - std::chrono::steady_clock::now();
            left = static_cast<int>(
                std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(remaining).count()));
        }
        const int ready = ::poll(entries, s.fd >= 0 ? 2 : 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Event::TimedOut;
        if (entries[0].revents) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t got = ::read(entries[0].fd, &count, sizeof count);
            return Event::Woken;
        }
        const short events = entries[1].revents;
        if (s.sending && (events & POLLOUT)) {
            s.lost = !s.push();
        } else if (events & (POLLERR | POLLHUP | POLLNVAL)) {
            s.lost = true;
        } else if (events & POLLIN) {
            char discard[256];
            const ssize_t got = ::recv(s.fd, discard, sizeof discard, MSG_DONTWAIT);
            s.lost = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        }
    }
}

}  // namespace platform
