#include "plugin_core.h"

namespace plugin {

// The device's driver and light service are Windows programs; on Linux
// the helper lights the device through a lighting server. The same words
// as the Linux package's description (tools/package.sh).
const char kDescription[] = "TeamSpeak 3 plugin for Vossik ZELL FX hardware.\n\n"
                            "IMPORTANT: on Linux it needs an OpenRGB SDK server running, through which the helper "
                            "drives any RGB device.";

}  // namespace plugin
