// What the tray icon's tooltip says the helper follows now.
#pragma once

#include "remote_apps_client.h"

#include <QString>

// `servers`: TeamSpeak 5/6's connected servers; `plugins`: TeamSpeak 3
// plugins among the helper's clients.
QString trayToolTip(remote_apps::Client::Status status, int servers, int plugins);
