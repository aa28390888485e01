// The plugin's hotkeys, which the user binds to keys in the client.
#pragma once

#include "ts3_host_api.h"

namespace hotkeys {

extern const char kToggleLights[];
extern const char kOpenSettings[];
extern const char kDismissSignal[];

// A 0-terminated array of malloc'ed items, as the client takes them (it
// frees each and the array with the plugin's freeMemory); null when
// memory ran out.
PluginHotkey **make();

}  // namespace hotkeys
