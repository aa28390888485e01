#include "entry_points.h"

namespace ts3host {

std::vector<std::string> resolve(platform::SharedLibrary &library, EntryPoints *entry)
{
    std::vector<std::string> missing;
#define TS3HOST_RESOLVE(name)                                                         \
    entry->name = reinterpret_cast<decltype(entry->name)>(library.symbol(#name));    \
    if (!entry->name)                                                                 \
        missing.push_back(#name);
    TS3_PLUGIN_ENTRY_POINTS(TS3HOST_RESOLVE)
#undef TS3HOST_RESOLVE
#define TS3HOST_RESOLVE_OPTIONAL(name) \
    entry->name = reinterpret_cast<decltype(entry->name)>(library.symbol(#name));
    TS3_PLUGIN_OPTIONAL_ENTRY_POINTS(TS3HOST_RESOLVE_OPTIONAL)
#undef TS3HOST_RESOLVE_OPTIONAL
    return missing;
}

}  // namespace ts3host
