#include "user_sid.h"

#include <vector>
#include <windows.h>

#include <sddl.h>  // needs windows.h first

namespace platform {

namespace {

std::wstring userSidOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::wstring sid;
    LPWSTR text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)
        && ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

}  // namespace

std::wstring currentUserSid()
{
    return userSidOf(GetCurrentProcess());
}

bool runsAsCurrentUser(unsigned long pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    const std::wstring sid = userSidOf(process);
    CloseHandle(process);
    return !sid.empty() && sid == currentUserSid();
}

}  // namespace platform
