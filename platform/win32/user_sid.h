// Security identifiers as text ("S-1-5-21-…"): the current user's, the
// user a process runs as, and a SID's account name.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Empty when the process token cannot be read.
std::wstring currentUserSid();

// The text of a SID (a PSID); empty when it cannot be converted.
std::wstring sidText(void *sid);

// The user of process `pid`'s token; none when the process or its token
// may not be opened (often another user's).
std::optional<std::wstring> processUserSid(unsigned long pid);

// Whether process `pid` runs as the current user; false when that cannot be
// told.
bool runsAsCurrentUser(unsigned long pid);

// "DOMAIN\name" in UTF-8; empty when the account cannot be found.
std::string accountNameOfSid(const std::string &sid);

}  // namespace platform
