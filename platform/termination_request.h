// A polite request to end the program (SIGTERM or SIGINT on Unix).
#pragma once

#include <functional>

class QObject;

namespace platform {

// Calls `requested` from the event loop each time the program is asked to
// end, for as long as `owner` lives. Once per program.
void onTerminationRequest(QObject *owner, std::function<void()> requested);

// Whether the program has been asked to end, true from the moment the
// request arrives, before the event loop gets to it.
bool terminationRequested();

}  // namespace platform
