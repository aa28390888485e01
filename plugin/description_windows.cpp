#include "plugin_core.h"

namespace plugin {

// The device's own light service comes with its driver.
const char kDescription[] = "TeamSpeak 3 plugin for Vossik ZELL FX hardware.\n\n"
                            "IMPORTANT: install the Vossik ZELL FX driver before you start the plugin!\n\n"
                            "Download the driver from:\n"
                            "https://www.vossik.com/support/drivers/zell-fx";

}  // namespace plugin
