// The [teamspeak] group of the settings file: the helper's use of TeamSpeak
// 5/6's Remote Apps interface. Read when the helper starts to serve.
//   remoteApps      auto (default): connect whenever TeamSpeak listens; off
//   remoteAppsPort  default 5899
//   remoteAppsKey   what TeamSpeak gave once the user allowed the helper;
//                   written by the helper, a secret never logged
#pragma once

#include <QString>

namespace remote_apps {

struct Settings {
    bool enabled = true;
    quint16 port = 0;
    QString key;
};

// Missing keys take their defaults; a value that cannot be used takes the
// default too, with one log line naming the key. A file that holds a key is
// made the user's alone.
Settings readSettings();

// Keeps every other line of the settings file; the file is then the
// user's alone. An empty key forgets the stored one. False, after one log
// line that names no key, when it could not be written.
bool storeKey(const QString &key);

}  // namespace remote_apps
