// The current user's security identifier, as text ("S-1-5-21-…").
#pragma once

#include <string>

namespace platform {

// Empty when the process token cannot be read.
std::wstring currentUserSid();

}  // namespace platform
