// The names by which the plugin, the helper and the device service find
// each other and their files.
#pragma once

#include <cstdint>

namespace protocol {

// The helper's command server, which the plugin connects to. On Linux the
// socket of this name in the user's private runtime folder; on Windows,
// where pipe names are machine-wide, the pipe of this name followed by "-"
// and the user's SID.
constexpr char kCommandServerBaseName[] = "ts3VossikPlugin";

// The folder beside the plugin library that holds the helper.
constexpr char kPluginFolderName[] = "Vossik_Plugin";

// The helper program in that folder: the 64-bit name (also on Linux), or
// the 32-bit one for a 32-bit Windows build; on Windows with
// kWindowsProgramSuffix.
constexpr char kHelperProgram64[] = "TS3_Vossik_Helper_win64";
constexpr char kHelperProgram32[] = "TS3_Vossik_Helper_win32";
constexpr char kWindowsProgramSuffix[] = ".exe";

// The helper's first argument when it runs for TeamSpeak 5/6 without the
// plugin; a settings folder may follow.
constexpr char kStandaloneOption[] = "--standalone";
// Requests to the helper that runs (over its command server), as the only
// argument: open its settings window (starting a standalone helper when
// none runs), or end it.
constexpr char kSettingsOption[] = "--settings";
constexpr char kQuitOption[] = "--quit";

// The helper's log, beside the settings file; past kLogFileLimitBytes it
// becomes kLogFileName + kOlderLogSuffix, replacing the older one.
constexpr char kLogFileName[] = "TS3_Vossik_Helper.log";
constexpr char kOlderLogSuffix[] = ".1";
constexpr std::uint64_t kLogFileLimitBytes = 1024 * 1024;

// Starting the standalone helper with the user's session: the value of this
// name under HKCU\Software\Microsoft\Windows\CurrentVersion\Run on
// Windows; this file in the user's XDG autostart folder elsewhere.
constexpr char kAutostartValueName[] = "VossikLights";
constexpr char kAutostartDesktopFile[] = "vossik-lights.desktop";

// The light profiles, in the client's configuration folder (the helper's
// one argument, or the one after kStandaloneOption).
constexpr char kSettingsFileName[] = "TS3_Vossik_Plugin.ini";

// The registered window messages between the helper and the device's light
// service. The helper broadcasts DISCOVER with its own window as wParam;
// the service answers with ATTACH (wParam: its window, lParam:
// kAttachLParam); light commands (light_command.h) go to that window.
constexpr char kLightDiscoverMessage[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API_DISCOVER";
constexpr char kLightAttachMessage[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API_ATTACH";
constexpr char kLightCommandMessage[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API";
// An ATTACH with any other lParam is no service to use.
constexpr std::int64_t kAttachLParam = 1;

}  // namespace protocol
