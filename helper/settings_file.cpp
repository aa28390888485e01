#include "settings_file.h"

#include <QDebug>
#include <QFileInfo>

QString g_settingsDir;

const char kSettingsFileName[] = "TS3_Vossik_Plugin.ini";
const char kSettingsGroup[] = "colors";

QString settingsFilePath()
{
    const bool separated = g_settingsDir.isEmpty() || g_settingsDir.endsWith(QLatin1Char('/'))
                           || g_settingsDir.endsWith(QLatin1Char('\\'));
    return g_settingsDir + (separated ? QString() : QStringLiteral("/")) + QLatin1String(kSettingsFileName);
}

QString settingsFileProblem(bool *missing)
{
    const QFileInfo info(settingsFilePath());
    if (missing)
        *missing = !info.exists();
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    if (info.size() > kSettingsFileMaxBytes)
        return QStringLiteral("is %1 bytes, more than the %2 read").arg(info.size()).arg(kSettingsFileMaxBytes);
    if (!info.isReadable())
        return QStringLiteral("cannot be read");
    return QString();
}

bool settingsFileReadable(const QString &instead)
{
    const QString problem = settingsFileProblem();
    if (!problem.isEmpty())
        qDebug().noquote() << QStringLiteral("Settings file %1 %2: %3").arg(settingsFilePath(), problem, instead);
    return problem.isEmpty();
}

int clampStoredColour(const QString &key, int value)
{
    const int clamped = qBound(0, value, 255);
    if (clamped != value)
        qDebug().noquote() << QStringLiteral("%1 = %2 out of range, clamped to %3").arg(key).arg(value).arg(clamped);
    return clamped;
}
