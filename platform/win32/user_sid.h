// The current user's security identifier, as text ("S-1-5-21-…").
#pragma once

#include <string>

namespace platform {

// Empty when the process token cannot be read.
std::wstring currentUserSid();

// Whether process `pid` runs as the current user; false when that cannot be
// told (another user's process usually cannot be asked).
bool runsAsCurrentUser(unsigned long pid);

}  // namespace platform
