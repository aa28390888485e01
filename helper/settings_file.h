// The settings file "TS3_Vossik_Plugin.ini" in the settings directory.
#pragma once

#include <QString>

// The helper's one argument: the settings directory, with or without its
// trailing separator.
extern QString g_settingsDir;

extern const char kSettingsFileName[];  // "TS3_Vossik_Plugin.ini"
extern const char kSettingsGroup[];     // "colors"
constexpr qint64 kSettingsFileMaxBytes = 1 << 20;

QString settingsFilePath();

// Why QSettings must not read the settings file, found with a stat alone:
// a FIFO or device in its place would block the reader for ever, and a huge
// file would be held whole in memory. Empty for a readable regular file of at
// most kSettingsFileMaxBytes; *missing tells a file that is not there (which
// a save may create) from one that is refused.
QString settingsFileProblem(bool *missing = nullptr);

// For a load: true when QSettings may read the settings file; otherwise
// false, after one log line "Settings file <path> <why>: <instead>".
bool settingsFileReadable(const QString &instead);

// A stored colour outside 0..255 would spill into the neighbouring field of
// the light command: bring it into range, with a log line naming the key.
int clampStoredColour(const QString &key, int value);
