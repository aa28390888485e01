// Log lines to the process's standard streams that never wait. The plugin
// writes from inside the voice client, whose output may be a pipe nobody
// reads; the helper inherits that output. A line the stream cannot take at
// once is dropped, and the next line that gets through says how many were.
#pragma once

#include "log_file.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

namespace platform {

enum class StandardStream { Output, Error };

// One standard stream, written without waiting: each write goes whole or
// not at all. What it writes to is fixed when it is made.
class LogOutput
{
public:
    explicit LogOutput(StandardStream stream);
    ~LogOutput();
    LogOutput(const LogOutput &) = delete;
    LogOutput &operator=(const LogOutput &) = delete;

    // False when the stream could not take `text` now.
    bool tryWrite(std::string_view text);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Whole lines onto a LogOutput, from any thread, counting those dropped;
// and the same lines into a log file, once it has one.
class LogSink
{
public:
    explicit LogSink(StandardStream stream) : m_output(stream) {}

    // Writes `text` and a line break.
    void line(std::string_view text);
    // From now on lines go into `file` as well (none when null).
    void alsoInto(std::unique_ptr<LogFile> file);

private:
    std::mutex m_mutex;
    LogOutput m_output;
    std::uint64_t m_dropped = 0;
    std::unique_ptr<LogFile> m_file;
};

}  // namespace platform
