#include "shared_library.h"

#include "windows_text.h"

#include <windows.h>

namespace platform {

namespace {

// The system's text for an error code, without the trailing line break,
// followed by the code itself since the text alone can be vague.
std::string describe(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::string text = length > 0 ? utf8FromWide(buffer, static_cast<int>(length)) : std::string();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error";
    return text + " (error " + std::to_string(code) + ")";
}

}  // namespace

SharedLibrary::~SharedLibrary()
{
    close();
}

bool SharedLibrary::open(const std::string &utf8Path)
{
    close();
    const std::wstring widePath = wideFromUtf8(utf8Path);
    if (widePath.empty()) {
        m_error = "the path is empty or not valid UTF-8";
        return false;
    }
    HMODULE module = LoadLibraryW(widePath.c_str());
    if (!module) {
        m_error = describe(GetLastError());
        return false;
    }
    m_handle = module;
    m_path = utf8Path;
    m_error.clear();
    return true;
}

bool SharedLibrary::keepLoaded()
{
    if (!m_handle) {
        m_error = "no library is open";
        return false;
    }
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            static_cast<LPCWSTR>(m_handle), &pinned)) {
        m_error = describe(GetLastError());
        return false;
    }
    return true;
}

void *SharedLibrary::symbol(const char *name)
{
    if (!m_handle) {
        m_error = "no library is open";
        return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(m_handle), name);
    if (!address) {
        m_error = describe(GetLastError());
        return nullptr;
    }
    return reinterpret_cast<void *>(address);
}

void SharedLibrary::close()
{
    if (m_handle)
        FreeLibrary(static_cast<HMODULE>(m_handle));
    m_handle = nullptr;
}

}  // namespace platform
