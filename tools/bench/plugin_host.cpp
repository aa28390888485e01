#include "plugin_host.h"

#include "client_functions.h"
#include "names.h"
#include "stamp_record.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace bench {

namespace {

constexpr char kPluginId[] = "vossik_bench";
constexpr anyID kOwnClientId = 1;
constexpr uint64 kConnection = 1;

}  // namespace

PluginHost::~PluginHost()
{
    shutdown();
}

bool PluginHost::start(const std::string &plugin, const std::string &helper, const std::string &configDir,
                       std::string *error)
{
    fs::path copy;
    if (!m_plugins.create("vossik-bench-plugins", error) || !ts3host::copyInto(plugin, m_plugins.path(), &copy, error))
        return false;
    if (!helper.empty()) {
        const fs::path helperFolder = m_plugins.path() / protocol::kPluginFolderName;
        fs::path helperCopy;
        std::error_code ec;
        fs::create_directories(helperFolder, ec);
        if (!ts3host::copyInto(helper, helperFolder, &helperCopy, error))
            return false;
    }
    if (!m_library.open(copy.u8string())) {
        *error = "cannot load " + copy.u8string() + ": " + m_library.error();
        return false;
    }
    // As in a client that has Qt itself: what the plugin loads stays loaded
    // when it is unloaded.
    m_library.keepLoaded();
    if (!ts3host::resolve(m_library, &m_entry).empty()) {
        *error = copy.u8string() + " lacks entry points";
        return false;
    }
    ts3host::setConfigPath(ts3host::folderAnswer(configDir));
    ts3host::setPluginPath(ts3host::folderAnswer(m_plugins.path()));
    ts3host::setDefaultClientId(kOwnClientId);
    m_entry.ts3plugin_setFunctionPointers(ts3host::clientFunctions());
#if TS3_PLUGIN_API_VERSION >= 26
    m_entry.ts3plugin_registerPluginID(kPluginId);
#endif
    if (m_entry.ts3plugin_init() != 0) {
        *error = "ts3plugin_init failed";
        return false;
    }
#if TS3_PLUGIN_API_VERSION < 26
    m_entry.ts3plugin_registerPluginID(kPluginId);
#endif
    m_running = true;
    return true;
}

PluginHost::Call PluginHost::talk(int status)
{
    const std::uint64_t started = stamps::steadyNowNs();
    m_entry.ts3plugin_onTalkStatusChangeEvent(kConnection, status, 0, kOwnClientId);
    return {started, static_cast<std::int64_t>(stamps::steadyNowNs() - started)};
}

void PluginHost::shutdown()
{
    if (!m_running)
        return;
    m_running = false;
    m_entry.ts3plugin_shutdown();
}

}  // namespace bench
