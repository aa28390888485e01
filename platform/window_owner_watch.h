// Tells when a process, or the process that owns a window, ends. The event loop waits on
// that process itself, so nothing runs until it ends: no polling.
#pragma once

#include "window_messages.h"

#include <cstdint>
#include <functional>

class QObject;

namespace platform {

// Calls `ended` once, from the event loop, when the process that owns
// `window` ends (soon, if it already has). Deleting the returned object stops
// the watch; `ended` must not delete it. nullptr when the owner cannot be
// watched: then only a failed post tells that the window has gone.
QObject *watchWindowOwner(Handle window, std::function<void()> ended);

// The same for the process `pid`.
QObject *watchProcess(std::int64_t pid, std::function<void()> ended);

}  // namespace platform
