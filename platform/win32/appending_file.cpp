#include "appending_file.h"

#include "windows_text.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE handleOf(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

}  // namespace

bool AppendingFile::open(const std::string &path)
{
    close();
    const std::wstring wide = wideFromUtf8(path);
    if (wide.empty())
        return false;
    // Append access alone puts each write at the end as one step, so lines
    // of two processes never land inside each other. Shared for delete, so
    // that the other may roll the file over while this one holds it.
    const HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

void AppendingFile::close()
{
    if (m_handle != kClosed)
        CloseHandle(handleOf(m_handle));
    m_handle = kClosed;
}

std::optional<std::uint64_t> AppendingFile::size() const
{
    LARGE_INTEGER size = {};
    if (m_handle == kClosed || !GetFileSizeEx(handleOf(m_handle), &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool AppendingFile::append(std::string_view text)
{
    DWORD written = 0;
    return m_handle != kClosed
           && WriteFile(handleOf(m_handle), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
           && written == text.size();
}

bool AppendingFile::replace(const std::string &from, const std::string &to)
{
    const std::wstring wideFrom = wideFromUtf8(from), wideTo = wideFromUtf8(to);
    return !wideFrom.empty() && !wideTo.empty()
           && MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace platform
