// A file that is only ever appended to, shared with other processes of the
// user: each write lands whole at the end, whoever else appends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class AppendingFile
{
public:
    AppendingFile() = default;
    ~AppendingFile() { close(); }
    AppendingFile(const AppendingFile &) = delete;
    AppendingFile &operator=(const AppendingFile &) = delete;

    // Opens `path` (UTF-8), made for the user alone if missing. Another
    // process may rename or replace it while it is open.
    bool open(const std::string &path);
    bool isOpen() const { return m_handle != kClosed; }
    void close();
    // Its size now, with what others appended; nothing when it cannot tell.
    std::optional<std::uint64_t> size() const;
    // True when all of `text` was written.
    bool append(std::string_view text);

    // Renames `from` to `to`, replacing a file there; false when it could not.
    static bool replace(const std::string &from, const std::string &to);

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t m_handle = kClosed;  // a file descriptor, or a HANDLE
};

}  // namespace platform
