#include "entry_points.h"

namespace ts3host {

std::vector<std::string> resolve(platform::SharedLibrary &library, EntryPoints *entry)
{
    std::vector<std::string> missing;
#define TS3HOST_RESOLVE(name)                                                                                          \
    entry->name = reinterpret_cast<decltype(entry->name)>(library.symbol(#name));                                      \
    if (!entry->name)                                                                                                  \
        missing.push_back(#name);
    TS3_PLUGIN_ENTRY_POINTS(TS3HOST_RESOLVE)
#undef TS3HOST_RESOLVE
#define TS3HOST_RESOLVE_OPTIONAL(name) entry->name = reinterpret_cast<decltype(entry->name)>(library.symbol(#name));
    TS3_PLUGIN_OPTIONAL_ENTRY_POINTS(TS3HOST_RESOLVE_OPTIONAL)
#undef TS3HOST_RESOLVE_OPTIONAL
    return missing;
}

bool loadPlugin(const std::string &libraryName, bool keepLoaded, platform::SharedLibrary *library, EntryPoints *entry,
                std::string *error)
{
    if (!library->open(libraryName) || (keepLoaded && !library->keepLoaded())) {
        *error = "cannot load " + libraryName + ": " + library->error();
        return false;
    }
    const std::vector<std::string> missing = resolve(*library, entry);
    if (missing.empty())
        return true;
    std::string names;
    for (const std::string &name : missing)
        names += (names.empty() ? "" : ", ") + name;
    *error = libraryName + " lacks the entry point" + (missing.size() > 1 ? "s " : " ") + names;
    return false;
}

}  // namespace ts3host
