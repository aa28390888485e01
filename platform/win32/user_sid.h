// The current user's security identifier, as text ("S-1-5-21-…"), and who
// runs another process.
#pragma once

#include <string>

namespace platform {

// Empty when the process token cannot be read.
std::wstring currentUserSid();

enum class ProcessUser {
    Current,  // the user this process runs as
    System,   // LocalSystem
    Other,
    Unknown,  // the process or its token cannot be asked (often another user's)
};
ProcessUser userOfProcess(unsigned long pid);

// Whether process `pid` runs as the current user; false when that cannot be
// told.
bool runsAsCurrentUser(unsigned long pid);

}  // namespace platform
