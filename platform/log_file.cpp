#include "log_file.h"

namespace platform {

LogFile::LogFile(std::string path, std::string olderPath, std::uint64_t limitBytes,
                 std::chrono::milliseconds retryAfter)
    : m_path(std::move(path)), m_olderPath(std::move(olderPath)), m_limitBytes(limitBytes), m_retryAfter(retryAfter)
{
}

bool LogFile::append(std::string_view text)
{
    if (!m_file.isOpen()) {
        if (m_failedAt && std::chrono::steady_clock::now() - *m_failedAt < m_retryAfter)
            return false;
        if (!m_file.open(m_path))
            return failed();
    }
    // The size counts what another helper of the user appended too. Two
    // that roll over at once may each rename the file: then the lines of
    // one go on into the older file until it rolls again, or are lost with
    // it. Rare, bounded, and no harm to a log.
    const std::optional<std::uint64_t> size = m_file.size();
    if (!size)
        return failed();
    if (*size > 0 && *size + text.size() > m_limitBytes) {
        m_file.close();
        if (!AppendingFile::replace(m_path, m_olderPath) || !m_file.open(m_path))
            return failed();
    }
    if (!m_file.append(text))
        return failed();
    m_failedAt.reset();
    return true;
}

bool LogFile::failed()
{
    m_file.close();
    m_failedAt = std::chrono::steady_clock::now();
    return false;
}

}  // namespace platform
