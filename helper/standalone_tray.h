// The standalone helper's tray menu, wired to its control window and its
// TeamSpeak 5/6 client; shown once the helper serves.
#pragma once

#include <QString>

#include <memory>

class Qt_wnd;
class TrayMenu;
namespace remote_apps {
class Client;
}

// `logFile`: what "Open log" opens; `program`: what starts with the system.
std::unique_ptr<TrayMenu> makeStandaloneTray(Qt_wnd &window, remote_apps::Client &remoteApps, const QString &logFile,
                                             const QString &program);
