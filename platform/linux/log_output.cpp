#include "log_output.h"

#include "quiet_write.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// The stream's file descriptor is shared with the host, so its own flags
// are not ours to change. Pipes and terminals are opened anew (a file
// description of our own, non-blocking); sockets take a non-blocking send;
// files never hold a writer for long.
struct LogOutput::Impl {
    enum class Kind { Nowhere, Own, Socket, File };
    Kind kind = Kind::Nowhere;
    int fd = -1;

    explicit Impl(int stream)
    {
        struct stat info = {};
        if (::fstat(stream, &info) != 0)
            return;
        if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
            const std::string self = "/proc/self/fd/" + std::to_string(stream);
            fd = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            // No reader left on the pipe (ENXIO): nothing will ever be read.
            kind = fd >= 0 ? Kind::Own : Kind::Nowhere;
            return;
        }
        fd = ::fcntl(stream, F_DUPFD_CLOEXEC, 3);
        if (fd >= 0)
            kind = S_ISSOCK(info.st_mode) ? Kind::Socket : Kind::File;
    }

    ~Impl()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

LogOutput::LogOutput(StandardStream stream)
    : m_impl(std::make_unique<Impl>(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO))
{
}

LogOutput::~LogOutput() = default;

bool LogOutput::tryWrite(std::string_view text)
{
    ssize_t written = -1;
    switch (m_impl->kind) {
    case Impl::Kind::Nowhere:
        return true;  // a stream nobody can read loses nothing worth counting
    case Impl::Kind::Own:
    case Impl::Kind::File:
        do {
            written = writeWithoutSigpipe(m_impl->fd, text.data(), text.size());
        } while (written < 0 && errno == EINTR);
        break;
    case Impl::Kind::Socket:
        do {
            written = ::send(m_impl->fd, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        } while (written < 0 && errno == EINTR);
        break;
    }
    return written == static_cast<ssize_t>(text.size());
}

}  // namespace platform
