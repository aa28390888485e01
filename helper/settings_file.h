// The settings file "TS3_Vossik_Plugin.ini" in the settings directory.
#pragma once

#include <QString>

// The helper's one argument: the settings directory, with its trailing
// separator, used as a bare prefix of the file path.
extern QString g_settingsDir;

extern const char kSettingsFileName[];  // "TS3_Vossik_Plugin.ini"
extern const char kSettingsGroup[];     // "colors"

QString settingsFilePath();

// A stored colour outside 0..255 would spill into the neighbouring field of
// the light command: bring it into range, with a log line naming the key.
int clampStoredColour(const QString &key, int value);
