// The end of the user's session: logging off or shutting down the machine.
#pragma once

#include <functional>

class QObject;

namespace platform {

// Calls `ending` once when the session ends, for as long as `owner`
// lives. On Windows, before the system may end the program (right after
// the call returns); elsewhere the session's end comes as a termination
// request (termination_request.h), and this does nothing.
void onSessionEnd(QObject *owner, std::function<void()> ending);

}  // namespace platform
