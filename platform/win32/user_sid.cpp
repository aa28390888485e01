#include "user_sid.h"

#include <vector>
#include <windows.h>

#include <sddl.h>  // needs windows.h first

namespace platform {

namespace {

// The TOKEN_USER of a process's token; empty when it cannot be read.
std::vector<unsigned char> tokenUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (!size || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        buffer.clear();
    CloseHandle(token);
    return buffer;
}

PSID sidIn(std::vector<unsigned char> &tokenUserBuffer)
{
    return reinterpret_cast<TOKEN_USER *>(tokenUserBuffer.data())->User.Sid;
}

}  // namespace

std::wstring currentUserSid()
{
    std::vector<unsigned char> user = tokenUser(GetCurrentProcess());
    std::wstring sid;
    LPWSTR text = nullptr;
    if (!user.empty() && ConvertSidToStringSidW(sidIn(user), &text)) {
        sid = text;
        LocalFree(text);
    }
    return sid;
}

ProcessUser userOfProcess(unsigned long pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return ProcessUser::Unknown;
    std::vector<unsigned char> theirs = tokenUser(process);
    CloseHandle(process);
    std::vector<unsigned char> mine = tokenUser(GetCurrentProcess());
    if (theirs.empty() || mine.empty())
        return ProcessUser::Unknown;
    if (EqualSid(sidIn(theirs), sidIn(mine)))
        return ProcessUser::Current;
    return IsWellKnownSid(sidIn(theirs), WinLocalSystemSid) ? ProcessUser::System : ProcessUser::Other;
}

bool runsAsCurrentUser(unsigned long pid)
{
    return userOfProcess(pid) == ProcessUser::Current;
}

}  // namespace platform
