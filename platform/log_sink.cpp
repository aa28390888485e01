#include "log_output.h"

#include <string>

namespace platform {

namespace {

// Longer lines are cut: a pipe takes a write of up to 4 KiB whole or not
// at all, and no line of ours needs more.
constexpr std::size_t kMaxLineBytes = 4000;

}  // namespace

void LogSink::line(std::string_view text)
{
    std::string out;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_dropped > 0)
        out = "(" + std::to_string(m_dropped) + " log lines dropped: the output did not take them)\n";
    const std::size_t lineStart = out.size();
    out.append(text.substr(0, kMaxLineBytes));
    out.push_back('\n');
    if (m_output.tryWrite(out))
        m_dropped = 0;
    else
        ++m_dropped;
    // The count above is the stream's; the file has a pause of its own.
    if (m_file)
        m_file->append(std::string_view(out).substr(lineStart));
}

void LogSink::alsoInto(std::unique_ptr<LogFile> file)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file = std::move(file);
}

}  // namespace platform
