#include "hotkeys.h"

#include <cstdlib>
#include <cstring>

namespace hotkeys {

const char kToggleLights[] = "vossik_toggle_lights";
const char kOpenSettings[] = "vossik_open_settings";
const char kDismissSignal[] = "vossik_dismiss_signal";

namespace {

struct Offered {
    const char *keyword;
    const char *description;
};
constexpr Offered kOffered[] = {{kToggleLights, "Toggle voice lighting"},
                                {kOpenSettings, "Open color settings"},
                                {kDismissSignal, "Dismiss the light signal"}};
constexpr size_t kCount = sizeof kOffered / sizeof kOffered[0];

void copyText(char *destination, const char *text)
{
    std::strncpy(destination, text, PLUGIN_HOTKEY_BUFSZ - 1);
    destination[PLUGIN_HOTKEY_BUFSZ - 1] = '\0';
}

}  // namespace

PluginHotkey **make()
{
    auto **items = static_cast<PluginHotkey **>(std::calloc(kCount + 1, sizeof(PluginHotkey *)));
    if (!items)
        return nullptr;
    for (size_t i = 0; i < kCount; ++i) {
        items[i] = static_cast<PluginHotkey *>(std::calloc(1, sizeof(PluginHotkey)));
        if (!items[i]) {
            for (size_t made = 0; made < i; ++made)
                std::free(items[made]);
            std::free(items);
            return nullptr;
        }
        copyText(items[i]->keyword, kOffered[i].keyword);
        copyText(items[i]->description, kOffered[i].description);
    }
    return items;  // calloc left the last slot null
}

}  // namespace hotkeys
