// A log file of bounded size. Past its limit it becomes the older file
// (replacing the one before) and a new one begins, so the two never hold
// much more than twice the limit. It never holds up its writer: a write
// that fails is given up, and the file is tried again only after a pause.
#pragma once

#include "appending_file.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// One writer at a time: the caller keeps others out.
class LogFile
{
public:
    static constexpr std::chrono::milliseconds kRetryAfter{5000};

    // Paths in UTF-8.
    LogFile(std::string path, std::string olderPath, std::uint64_t limitBytes,
            std::chrono::milliseconds retryAfter = kRetryAfter);

    // Appends `text` (whole lines); false when the file did not take it.
    bool append(std::string_view text);

private:
    bool failed();

    const std::string m_path;
    const std::string m_olderPath;
    const std::uint64_t m_limitBytes;
    const std::chrono::milliseconds m_retryAfter;
    AppendingFile m_file;
    std::optional<std::chrono::steady_clock::time_point> m_failedAt;
};

}  // namespace platform
