// The settings file (protocol::kSettingsFileName) in the settings directory.
#pragma once

#include "names.h"

#include <QHash>
#include <QPair>
#include <QSettings>
#include <QString>
#include <QVector>

// The helper's one argument: the settings directory, with or without its
// trailing separator.
extern QString g_settingsDir;

extern const char kSettingsGroup[];  // "colors"
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

// For a save: sets these keys of the group kSettingsGroup in the settings
// file and keeps every other line of it, through a temporary file renamed into
// place, so the file is replaced whole or not at all. Not through QSettings:
// it keeps values it failed to write in a cache that every later QSettings on
// the file in this process reads, and writes them out at a later load.
// Empty on success, otherwise why nothing was written.
QString writeSettingsFile(const QVector<QPair<QString, int>> &values);
// The same for the text values of any group.
QString writeSettingsFile(const QString &group, const QVector<QPair<QString, QString>> &values);

// A group's values as their lines hold them, quotes taken off, by key in
// lower case; the first of a key counts. Not through QSettings: a ';' in a
// value starts a comment there. Group and keys match without case, on
// every system alike. Empty when the file cannot be read.
QHash<QString, QString> readSettingsGroup(const QString &group);
// A single value of such a group: what stands before a comment.
QString singleSettingValue(const QHash<QString, QString> &group, const char *key);

// An integer as the settings file holds it. Missing or no number reads as
// 0, as QSettings' toInt() reads it; a number beyond 32 bits keeps its size
// (up to the 64-bit limits), so it is out of every range instead of wrapping
// into one (toInt() reads 4294967297 as 1).
struct StoredInteger {
    qint64 value = 0;
    QString text;  // as the file has it, for a log line
    // The value where an int holds it; else one that no field takes.
    int toInt() const;
};
StoredInteger storedInteger(const QSettings &settings, const QString &key);

// A stored colour outside 0..255 would spill into the neighbouring field of
// the light command: bring it into range, with a log line naming the key
// and the value in the file.
int clampStoredColour(const QString &key, const StoredInteger &stored);
