// Lets a Qt program receive window messages. Posted messages reach the
// application's native event filters exactly as Windows messages do, so a
// filter has one code path on every system.
#pragma once

#include "window_messages.h"

class QWidget;

namespace platform {

// Opens the endpoint of `window`: on Windows its own HWND; elsewhere a fresh
// endpoint that lives as long as `window`. Returns 0 on failure.
Handle openEndpoint(QWidget *window);

}  // namespace platform
