#include "stamp_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

StampReader::~StampReader()
{
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_keepOpenFd >= 0)
        ::close(m_keepOpenFd);
    if (!m_path.empty())
        ::unlink(m_path.c_str());
}

bool StampReader::create(const std::string &path)
{
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0600) != 0)
        return false;
    m_path = path;
    m_readFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    m_keepOpenFd = m_readFd >= 0 ? ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (m_keepOpenFd >= 0)
        ::fcntl(m_readFd, F_SETPIPE_SZ, 1 << 20);  // a burst's stamps fit without back-pressure
    return m_keepOpenFd >= 0;
}

bool StampReader::fill(int timeoutMs)
{
    pollfd ready{m_readFd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, timeoutMs);
    if (polled <= 0)
        return false;
    unsigned char buffer[sizeof(stamps::StampRecord) * 512];
    const ssize_t got = ::read(m_readFd, buffer, sizeof buffer);
    if (got <= 0)
        return errno == EINTR || errno == EAGAIN;
    m_held.insert(m_held.end(), buffer, buffer + got);
    return true;
}

bool StampReader::next(stamps::StampRecord *record, int timeoutMs)
{
    while (m_held.size() < sizeof *record) {
        if (!fill(timeoutMs))
            return false;
    }
    std::memcpy(record, m_held.data(), sizeof *record);
    m_held.erase(m_held.begin(), m_held.begin() + sizeof *record);
    return true;
}

void StampReader::discardPending()
{
    while (fill(0)) {
    }
    m_held.erase(m_held.begin(),
                 m_held.end() - static_cast<std::ptrdiff_t>(m_held.size() % sizeof(stamps::StampRecord)));
}

}  // namespace bench
