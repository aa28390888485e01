#include "process_owner_facts.h"

#include "user_sid.h"
#include "windows_text.h"

#include <windows.h>

#include <wtsapi32.h>  // needs windows.h first

namespace platform {

namespace {

std::string utf8(const std::wstring &text)
{
    return utf8FromWide(text.data(), static_cast<int>(text.size()));
}

// Lists every process with its session and, where the system tells us,
// its user, without opening any of them.
std::optional<ProcessListRow> processListRow(DWORD pid)
{
    WTS_PROCESS_INFOW *processes = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count))
        return std::nullopt;
    std::optional<ProcessListRow> found;
    for (DWORD i = 0; i < count && !found; ++i) {
        if (processes[i].ProcessId == pid)
            found = ProcessListRow{processes[i].SessionId, utf8(sidText(processes[i].pUserSid))};
    }
    WTSFreeMemory(processes);
    return found;
}

}  // namespace

WindowsProcessFacts processOwnerFacts(unsigned long pid)
{
    WindowsProcessFacts facts;
    facts.pid = pid;
    facts.ourSid = utf8(currentUserSid());
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session))
        facts.ourSession = session;
    if (pid == 0)
        return facts;
    facts.row = processListRow(pid);
    if (const std::optional<std::wstring> sid = processUserSid(pid))
        facts.token = {TokenLookup::Outcome::Read, utf8(*sid)};
    else
        facts.token.outcome = TokenLookup::Outcome::Denied;
    return facts;
}

}  // namespace platform
