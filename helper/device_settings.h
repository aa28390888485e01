// The [device] group of the settings file: which light output the helper
// uses, and where the lighting server is. Read once when the helper starts.
//   lightService   auto (default), zell or openrgb
//   openrgbHost    default 127.0.0.1
//   openrgbPort    default 6742
//   openrgbDevices controller names separated by ';', empty = all
//   openrgbAtExit  restore (default): the controllers get back what they
//                  had; profile: they show the shutdown profile
#pragma once

#include "light_router.h"
#include "openrgb_client.h"

struct DeviceSettings {
    LightService service = LightService::Auto;
    OpenRgbSettings openrgb;
};

// Missing keys take their defaults; a value that cannot be used takes the
// default too, with one log line naming the key.
DeviceSettings readDeviceSettings();
