#include "settings_file.h"

#include <QDebug>

QString g_settingsDir;

const char kSettingsFileName[] = "TS3_Vossik_Plugin.ini";
const char kSettingsGroup[] = "colors";

QString settingsFilePath()
{
    return g_settingsDir + QLatin1String(kSettingsFileName);
}

int clampStoredColour(const QString &key, int value)
{
    const int clamped = qBound(0, value, 255);
    if (clamped != value)
        qDebug().noquote() << QStringLiteral("%1 = %2 out of range, clamped to %3").arg(key).arg(value).arg(clamped);
    return clamped;
}
