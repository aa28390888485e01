#include "remote_apps_settings.h"

#include "remote_apps_messages.h"
#include "settings_file.h"
#include "user_only_file.h"

#include <QDebug>
#include <QFile>

namespace remote_apps {

namespace {

constexpr char kGroup[] = "teamspeak";
constexpr char kModeKey[] = "remoteApps";
constexpr char kPortKey[] = "remoteAppsPort";
constexpr char kKeyKey[] = "remoteAppsKey";

void keepPrivate()
{
    if (!platform::makeUserOnly(settingsFilePath()))
        qDebug().noquote() << "Settings file" << settingsFilePath() << "could not be made readable by the user alone";
}

}  // namespace

Settings readSettings()
{
    Settings settings;
    settings.port = kDefaultPort;
    const QHash<QString, QString> group = readSettingsGroup(QLatin1String(kGroup));

    const QString mode = singleSettingValue(group, "remoteapps").toLower();
    if (mode == QLatin1String("off"))
        settings.enabled = false;
    else if (!mode.isEmpty() && mode != QLatin1String("auto"))
        qDebug().noquote() << "Settings:" << kModeKey << mode << "is not auto or off: auto";

    const QString portText = singleSettingValue(group, "remoteappsport");
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        settings.port = quint16(port);
    else if (!portText.isEmpty())
        qDebug().noquote() << "Settings:" << kPortKey << portText << "is no port:" << settings.port;

    settings.key = singleSettingValue(group, "remoteappskey");
    if (!settings.key.isEmpty())
        keepPrivate();
    return settings;
}

bool storeKey(const QString &key)
{
    // Private before the key is in it: the save keeps the file's mode.
    if (!key.isEmpty()) {
        QFile file(settingsFilePath());
        if (file.exists() || file.open(QIODevice::WriteOnly))
            keepPrivate();
    }
    const QString problem = writeSettingsFile(QLatin1String(kGroup), {{QLatin1String(kKeyKey), key}});
    if (!problem.isEmpty()) {
        qDebug().noquote() << "Settings file" << settingsFilePath() << problem << "- the Remote Apps key is not kept";
        return false;
    }
    return true;
}

}  // namespace remote_apps
