#include "server_name_claim.h"

#include "user_sid_win32.h"
#include "windows_text.h"

#include <sddl.h>
#include <windows.h>

namespace platform {

namespace {

HANDLE asHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// The first instance of the pipe, open to this user only. Every later
// instance (the server's own) needs this user's rights on it, so nobody
// else can add one; and nobody else can have made it first, or this fails.
HANDLE createFirstInstance(const std::string &name)
{
    const std::wstring sddl = L"D:P(A;;GA;;;" + currentUserSid() + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const std::wstring path = L"\\\\.\\pipe\\" + wideFromUtf8(name);
    // Modes as the server's own instances have them: all must agree.
    const HANDLE pipe = CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                         0, 0, 3000, &attributes);
    LocalFree(descriptor);
    return pipe;
}

}  // namespace

ServerNameClaim::ServerNameClaim(std::string serverName) : m_name(std::move(serverName)) {}

ServerNameClaim::~ServerNameClaim()
{
    release();
}

bool ServerNameClaim::tryClaim()
{
    if (m_held)
        return true;
    if (m_name.empty())
        return false;
    const HANDLE pipe = createFirstInstance(m_name);
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<std::intptr_t>(pipe);
    m_held = true;
    return true;
}

void ServerNameClaim::serverListening()
{
    // The server's instances hold the name now; this one would only catch a
    // client that nobody reads.
    if (m_handle != -1)
        CloseHandle(asHandle(m_handle));
    m_handle = -1;
}

void ServerNameClaim::release()
{
    serverListening();
    m_held = false;
}

}  // namespace platform
