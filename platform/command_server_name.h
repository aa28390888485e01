// Where the helper's command server listens and the plugin connects.
#pragma once

#include <QString>

namespace platform {

// The local server name "ts3VossikPlugin": a named pipe of that name on
// Windows; elsewhere a socket of that name in the user's private runtime
// folder, so no other user can take the name or connect.
QString commandServerName();

}  // namespace platform
