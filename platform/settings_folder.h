// Where the helper keeps its settings when no voice client names a folder
// (the helper started on its own, for TeamSpeak 5 and 6).
#pragma once

class QString;

namespace platform {

// The TeamSpeak 3 client's configuration folder when it exists, so both
// clients share one settings file; else a folder of our own
// ($XDG_CONFIG_HOME/vossik, ~/.config/vossik without it, on Linux;
// %APPDATA%\Vossik on Windows), made if missing. With its trailing
// separator; empty when none can be named.
QString standaloneSettingsFolder();

}  // namespace platform
