#include "user_sid.h"

#include "windows_text.h"

#include <map>
#include <mutex>
#include <vector>
#include <windows.h>

#include <sddl.h>  // needs windows.h first

namespace platform {

namespace {

// The user SID of a process's token in text; empty when it cannot be read.
std::wstring tokenUserSid(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::wstring sid;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        sid = sidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
    CloseHandle(token);
    return sid;
}

}  // namespace

std::wstring currentUserSid()
{
    return tokenUserSid(GetCurrentProcess());
}

std::wstring sidText(void *sid)
{
    std::wstring text;
    LPWSTR converted = nullptr;
    if (sid && ConvertSidToStringSidW(sid, &converted)) {
        text = converted;
        LocalFree(converted);
    }
    return text;
}

std::optional<std::wstring> processUserSid(unsigned long pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return std::nullopt;
    std::wstring sid = tokenUserSid(process);
    CloseHandle(process);
    if (sid.empty())
        return std::nullopt;
    return sid;
}

bool runsAsCurrentUser(unsigned long pid)
{
    const std::wstring mine = currentUserSid();
    return !mine.empty() && processUserSid(pid) == mine;
}

std::string accountNameOfSid(const std::string &sid)
{
    // A domain account's lookup may wait on the network: each SID is asked
    // once, not at every retry of a refused server.
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    std::lock_guard<std::mutex> lock(mutex);
    if (const auto found = known.find(sid); found != known.end())
        return found->second;
    PSID binary = nullptr;
    std::wstring account;
    if (ConvertStringSidToSidW(wideFromUtf8(sid).c_str(), &binary)) {
        wchar_t name[256], domain[256];
        DWORD nameSize = 256, domainSize = 256;
        SID_NAME_USE use;
        if (LookupAccountSidW(nullptr, binary, name, &nameSize, domain, &domainSize, &use))
            account = domainSize ? std::wstring(domain) + L"\\" + name : std::wstring(name);
        LocalFree(binary);
    }
    return known[sid] = utf8FromWide(account.data(), static_cast<int>(account.size()));
}

}  // namespace platform
