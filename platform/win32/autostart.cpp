#include "autostart.h"

#include "names.h"
#include "windows_text.h"

#include <windows.h>

namespace platform {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring valueName()
{
    return wideFromUtf8(protocol::kAutostartValueName);
}

}  // namespace

bool autostartEnabled()
{
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, valueName().c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr)
           == ERROR_SUCCESS;
}

bool enableAutostart(const std::string &program)
{
    const std::wstring path = wideFromUtf8(program);
    if (path.empty())
        return false;
    // Quoted: the folder may hold spaces, and a Windows path never a quote.
    const std::wstring command = L"\"" + path + L"\" " + wideFromUtf8(protocol::kStandaloneOption);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG status =
        RegSetValueExW(key, valueName().c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool disableAutostart()
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, valueName().c_str());
        RegCloseKey(key);
    }
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace platform
