// The plugin's entry points, looked up in a loaded library.
#pragma once

#include "shared_library.h"
#include "ts3_plugin_exports.h"

#include <string>
#include <vector>

namespace ts3host {

struct EntryPoints {
#define TS3HOST_ENTRY_POINT(name) decltype(&::name) name = nullptr;
    TS3_PLUGIN_ENTRY_POINTS(TS3HOST_ENTRY_POINT)
    TS3_PLUGIN_OPTIONAL_ENTRY_POINTS(TS3HOST_ENTRY_POINT)
#undef TS3HOST_ENTRY_POINT
};

// Fills `entry` from the library; returns the names of the required entry
// points the library lacks. Members of those it lacks stay null.
std::vector<std::string> resolve(platform::SharedLibrary &library, EntryPoints *entry);

// Loads the library (kept in memory after it is closed, as a client that
// shares what it loads does, when `keepLoaded`) and resolves its entry
// points. False with `error` set when it cannot be loaded or lacks one.
bool loadPlugin(const std::string &libraryName, bool keepLoaded, platform::SharedLibrary *library, EntryPoints *entry,
                std::string *error);

}  // namespace ts3host
