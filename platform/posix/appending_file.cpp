#include "appending_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool AppendingFile::open(const std::string &path)
{
    close();
    // O_APPEND puts each write at the end as one step, so lines of two
    // processes never land inside each other. Without O_NONBLOCK a FIFO of
    // that name would hold the open until a reader came; only a regular
    // file is kept.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    } while (fd < 0 && errno == EINTR);
    struct stat info = {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    m_handle = fd < 0 ? kClosed : fd;
    return fd >= 0;
}

void AppendingFile::close()
{
    if (m_handle != kClosed)
        ::close(static_cast<int>(m_handle));
    m_handle = kClosed;
}

std::optional<std::uint64_t> AppendingFile::size() const
{
    struct stat info = {};
    if (m_handle == kClosed || ::fstat(static_cast<int>(m_handle), &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool AppendingFile::append(std::string_view text)
{
    if (m_handle == kClosed)
        return false;
    ssize_t written = -1;
    do {
        written = ::write(static_cast<int>(m_handle), text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(text.size());
}

bool AppendingFile::replace(const std::string &from, const std::string &to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace platform
