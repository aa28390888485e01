#include "stamp_record.h"

#include <chrono>

namespace stamps {

std::uint64_t steadyNowNs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

StampWriter::~StampWriter()
{
    if (m_file)
        std::fclose(m_file);
}

bool StampWriter::open(const std::string &path)
{
    if (m_file)
        std::fclose(m_file);
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
}

void StampWriter::write(std::uint64_t wParam, std::int64_t lParam)
{
    if (!m_file)
        return;
    const StampRecord record{steadyNowNs(), wParam, lParam};
    std::fwrite(&record, sizeof record, 1, m_file);
    std::fflush(m_file);
}

}  // namespace stamps
