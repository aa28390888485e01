#include "server_name_claim.h"

#include "user_sid.h"
#include "windows_text.h"

#include <windows.h>

#include <sddl.h>  // needs windows.h first

namespace platform {

namespace {

HANDLE asHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// Open to this user only.
struct UserOnly {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};

    UserOnly()
    {
        const std::wstring sddl = L"D:P(A;;GA;;;" + currentUserSid() + L")";
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            attributes.lpSecurityDescriptor = descriptor;
    }
    ~UserOnly() { LocalFree(descriptor); }
};

// A mutex that a live helper of this user holds: some systems (Wine among
// them) let a second "first" instance of a pipe be made.
HANDLE createLock(const std::string &name, const UserOnly &access)
{
    const std::wstring path = L"Local\\" + wideFromUtf8(name);
    SECURITY_ATTRIBUTES attributes = access.attributes;
    const HANDLE mutex = CreateMutexW(&attributes, FALSE, path.c_str());
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return mutex;
}

// The first instance of the pipe. Every later instance (the server's own)
// needs this user's rights on it, so nobody else can add one; and nobody
// else can have made it first, or this fails.
HANDLE createFirstInstance(const std::string &name, const UserOnly &access)
{
    SECURITY_ATTRIBUTES attributes = access.attributes;
    const std::wstring path = L"\\\\.\\pipe\\" + wideFromUtf8(name);
    // Modes as the server's own instances have them: all must agree.
    return CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 0, 0, 3000,
                            &attributes);
}

}  // namespace

bool ServerNameClaim::tryClaim()
{
    if (m_held)
        return true;
    if (m_name.empty())
        return false;
    const UserOnly access;
    if (!access.descriptor)
        return false;
    const HANDLE lock = createLock(m_name, access);
    if (!lock)
        return false;
    const HANDLE pipe = createFirstInstance(m_name, access);
    if (pipe == INVALID_HANDLE_VALUE) {
        CloseHandle(lock);
        return false;
    }
    m_lock = reinterpret_cast<std::intptr_t>(lock);
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
    if (m_lock != -1)
        CloseHandle(asHandle(m_lock));
    m_lock = -1;
    m_held = false;
}

}  // namespace platform
