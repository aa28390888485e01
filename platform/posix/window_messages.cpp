#include "window_messages_posix.h"

#include "quiet_write.h"
#include "runtime_dir.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t kRecordMagic = 0x564D5347;  // "VMSG"
constexpr char kEventType[] = "vossik_window_message";
constexpr int kQueueBytes = 1 << 20;  // about 32k messages, more than a Windows queue holds

// One posted message as it lies in the FIFO. Smaller than PIPE_BUF, so each
// write is atomic.
struct Record {
    std::uint32_t magic;
    std::uint32_t id;
    std::uint64_t window;
    std::uint64_t wParam;
    std::int64_t lParam;
};
static_assert(sizeof(Record) == 32, "record layout is shared by every process");
static_assert(sizeof(Record) <= PIPE_BUF, "a post must be one atomic write");

std::atomic<std::uint32_t> g_nextEndpoint{1};

std::string endpointPath(const std::string &dir, Handle handle)
{
    char name[32];
    std::snprintf(name, sizeof name, "/%016llx", static_cast<unsigned long long>(handle));
    return dir + name;
}

bool parseHandle(const char *name, Handle *out)
{
    if (std::strlen(name) != 16)
        return false;
    Handle value = 0;
    for (const char *p = name; *p; ++p) {
        if (!std::isxdigit(static_cast<unsigned char>(*p)))
            return false;
        value = value * 16
                + static_cast<Handle>(std::isdigit(static_cast<unsigned char>(*p))
                                          ? *p - '0'
                                          : std::tolower(static_cast<unsigned char>(*p)) - 'a' + 10);
    }
    *out = value;
    return true;
}

bool ownerIsDead(Handle handle)
{
    const pid_t owner = ownerProcess(handle);
    return owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH;
}

// Only a FIFO of this user is an endpoint; a link, a file or another
// user's FIFO under an endpoint name is neither written nor removed.
bool isOurFifo(const struct stat &st)
{
    return S_ISFIFO(st.st_mode) && st.st_uid == ::getuid();
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void unlinkIfOurFifo(const std::string &path)
{
    struct stat st = {};
    if (::lstat(path.c_str(), &st) == 0 && isOurFifo(st))
        ::unlink(path.c_str());
}

// An open write end of one endpoint, or -1 when it cannot be opened.
int openForPosting(const std::string &dir, Handle window)
{
    const std::string path = endpointPath(dir, window);
    struct stat seen = {};
    if (::lstat(path.c_str(), &seen) != 0 || !isOurFifo(seen))
        return -1;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) {
        // ENXIO: our FIFO is there but nobody reads it; its process died
        // without closing it.
        struct stat now = {};
        if (errno == ENXIO && ownerIsDead(window) && ::lstat(path.c_str(), &now) == 0 && isOurFifo(now)
            && sameFile(now, seen))
            ::unlink(path.c_str());
        return -1;
    }
    // Swapped between the look and the open: not ours to write.
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !isOurFifo(opened) || !sameFile(opened, seen)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Puts the FIFO made under `staging` in place at `path` without replacing
// anything else there: under our own handle's name only a FIFO left by a
// dead process that had our pid may lie, and that goes.
bool placeEndpoint(const std::string &staging, const std::string &path)
{
    unlinkIfOurFifo(path);
    if (::link(staging.c_str(), path.c_str()) == 0) {
        ::unlink(staging.c_str());
        return true;
    }
    // A file system without hard links: a rename, while the name is free.
    struct stat st = {};
    return errno != EEXIST && ::lstat(path.c_str(), &st) != 0 && errno == ENOENT
           && ::rename(staging.c_str(), path.c_str()) == 0;
}

bool writeRecord(int fd, Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    const Record record{kRecordMagic, id, window, wParam, lParam};
    return platform::writeWithoutSigpipe(fd, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

bool deliver(const std::string &dir, Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    const int fd = openForPosting(dir, window);
    if (fd < 0)
        return false;
    const bool ok = writeRecord(fd, window, id, wParam, lParam);
    ::close(fd);
    return ok;
}

// The endpoint last posted to stays open: a program posts a stream of
// messages to one window, and one write is all a post then costs. Once
// its reader is gone the write fails (EPIPE) and the endpoint is looked up
// again, as for any other window.
class PostTarget
{
public:
    bool post(Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_window == window && m_fd >= 0 && writeRecord(m_fd, window, id, wParam, lParam))
            return true;
        forget();
        const std::string dir = endpointDir();
        if (dir.empty())
            return false;
        const int fd = openForPosting(dir, window);
        if (fd < 0)
            return false;
        m_window = window;
        m_fd = fd;
        return writeRecord(m_fd, window, id, wParam, lParam);
    }

private:
    void forget()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_window = 0;
    }

    std::mutex m_mutex;
    Handle m_window = 0;
    int m_fd = -1;
};

PostTarget g_postTarget;

}  // namespace

pid_t ownerProcess(Handle handle)
{
    return static_cast<pid_t>(handle >> 24);
}

std::string endpointDir()
{
    const std::string base = platform::userRuntimeDir();
    if (base.empty())
        return {};
    const std::string dir = base + "/vossik-winmsg";
    return platform::ensurePrivateDir(dir) ? dir : std::string();
}

std::uint32_t registerMessage(const char *name)
{
    if (!name || !*name)
        return 0;
    // Windows matches registered names without regard to case. FNV-1a gives
    // every process the same id for the same name without a shared table.
    std::uint32_t hash = 2166136261u;
    for (const char *p = name; *p; ++p) {
        hash ^= static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(*p)));
        hash *= 16777619u;
    }
    return 0xC000u + (hash % 0x4000u);
}

bool postMessage(Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    if (window == kBroadcast)
        return broadcastMessage(id, wParam, lParam);
    if (window == 0)
        return false;
    return g_postTarget.post(window, id, wParam, lParam);
}

bool broadcastMessage(std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    const std::string dir = endpointDir();
    if (dir.empty())
        return false;
    DIR *listing = ::opendir(dir.c_str());
    if (!listing)
        return false;
    while (const dirent *entry = ::readdir(listing)) {
        Handle window = 0;
        if (parseHandle(entry->d_name, &window))
            deliver(dir, window, id, wParam, lParam);  // a stale endpoint is skipped and cleaned
    }
    ::closedir(listing);
    return true;
}

const char *nativeEventType()
{
    return kEventType;
}

bool readNativeMessage(const char *eventType, const void *message, Message *out)
{
    if (!eventType || !message || std::strcmp(eventType, kEventType) != 0)
        return false;
    *out = *static_cast<const Message *>(message);
    return true;
}

bool openEndpoint(Endpoint *endpoint)
{
    const std::string dir = endpointDir();
    if (dir.empty())
        return false;
    const Handle handle = (static_cast<Handle>(::getpid()) << 24) | (g_nextEndpoint++ & 0xFFFFFFu);
    const std::string path = endpointPath(dir, handle);
    // Made under a hidden name no sender looks at and moved into place once open
    // for reading, so a sender that finds the endpoint can post to it. A
    // name with our own handle can only be left over from a dead process
    // that had our pid.
    const std::string staging = dir + "/.new" + path.substr(dir.size() + 1);
    unlinkIfOurFifo(staging);
    if (::mkfifo(staging.c_str(), 0600) != 0)
        return false;
    const int readFd = ::open(staging.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    const int keepAliveFd = readFd >= 0 ? ::open(staging.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW) : -1;
    if (keepAliveFd < 0 || !placeEndpoint(staging, path)) {
        if (readFd >= 0)
            ::close(readFd);
        if (keepAliveFd >= 0)
            ::close(keepAliveFd);
        unlinkIfOurFifo(staging);
        return false;
    }
    ::fcntl(readFd, F_SETPIPE_SZ, kQueueBytes);  // best effort: the default queue still works
    endpoint->handle = handle;
    endpoint->readFd = readFd;
    endpoint->keepAliveFd = keepAliveFd;
    endpoint->path = path;
    endpoint->partialSize = 0;
    return true;
}

void closeEndpoint(Endpoint *endpoint)
{
    if (!endpoint->path.empty())
        unlinkIfOurFifo(endpoint->path);
    if (endpoint->readFd >= 0)
        ::close(endpoint->readFd);
    if (endpoint->keepAliveFd >= 0)
        ::close(endpoint->keepAliveFd);
    *endpoint = Endpoint{};
}

std::size_t drainEndpoint(Endpoint *endpoint, const std::function<void(const Message &)> &deliverMessage)
{
    static_assert(sizeof endpoint->partial >= sizeof(Record), "room for one record");
    std::size_t delivered = 0;
    unsigned char buffer[sizeof(Record) * 128];
    for (;;) {
        std::memcpy(buffer, endpoint->partial, endpoint->partialSize);
        const ssize_t got =
            ::read(endpoint->readFd, buffer + endpoint->partialSize, sizeof buffer - endpoint->partialSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const std::size_t total = endpoint->partialSize + static_cast<std::size_t>(got);
        std::size_t offset = 0;
        for (; offset + sizeof(Record) <= total; offset += sizeof(Record)) {
            Record record;
            std::memcpy(&record, buffer + offset, sizeof record);
            if (record.magic != kRecordMagic)
                continue;
            Message message;
            message.window = record.window;
            message.id = record.id;
            message.wParam = record.wParam;
            message.lParam = record.lParam;
            deliverMessage(message);
            ++delivered;
        }
        endpoint->partialSize = total - offset;
        std::memcpy(endpoint->partial, buffer + offset, endpoint->partialSize);
    }
    return delivered;
}

}  // namespace platform
