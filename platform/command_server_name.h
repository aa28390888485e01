// Where the helper's command server listens and the plugin connects.
#pragma once

#include <string>

namespace platform {

// The local server name "ts3VossikPlugin": a named pipe of that name on
// Windows; elsewhere a socket of that name in the user's private runtime
// folder, so no other user can take the name or connect. UTF-8.
std::string commandServerName();

}  // namespace platform
