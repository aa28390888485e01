// Who runs a process on Windows, decided from what a standard user may
// learn without opening it: the system's process list gives each process's
// session and, mostly, its user; the token, where the process may be
// opened, its user for certain. Plain C++ with SIDs as text, so every
// system builds and tests the rule; win32/ only gathers the facts.
#pragma once

#include "tcp_peer_owner.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// A process's row in the system's process list.
struct ProcessListRow {
    std::uint32_t session = 0;
    std::string userSid;  // empty when the list names no user
};

struct TokenLookup {
    enum class Outcome { NotTried, Denied, Read };
    Outcome outcome = Outcome::NotTried;
    std::string userSid;  // when Read
};

struct WindowsProcessFacts {
    std::uint32_t pid = 0;              // as the TCP table names it; 0: none
    std::optional<ProcessListRow> row;  // none: not in the process list
    TokenLookup token;
    std::string ourSid;
    std::uint32_t ourSession = 0;
};

// A SID's account name, or empty when it cannot be found.
using AccountNameOf = std::function<std::string(const std::string &sid)>;

// Ours, LocalSystem's or a service's (session 0) is trusted; another
// user's, or any in another session, is refused.
ServerOwner windowsProcessOwner(const WindowsProcessFacts &facts, const AccountNameOf &accountName);

}  // namespace platform
