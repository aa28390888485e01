#include "device_settings.h"

#include "openrgb_protocol.h"
#include "settings_file.h"

#include <QDebug>
#include <QHash>

DeviceSettings readDeviceSettings()
{
    DeviceSettings device;
    // An unreadable file is reported by the profiles' reader; here it only
    // means the defaults.
    if (!settingsFileProblem().isEmpty())
        return device;
    const QHash<QString, QString> group = readSettingsGroup(QStringLiteral("device"));

    const QString service = singleSettingValue(group, "lightservice").toLower();
    if (service == QLatin1String("zell"))
        device.service = LightService::Zell;
    else if (service == QLatin1String("openrgb"))
        device.service = LightService::OpenRgb;
    else if (!service.isEmpty() && service != QLatin1String("auto"))
        qDebug().noquote() << "Settings: lightService" << service << "is not auto, zell or openrgb: auto";

    const QString host = singleSettingValue(group, "openrgbhost");
    device.openrgb.host = host.isEmpty() ? QString::fromLatin1(protocol::openrgb::kDefaultHost) : host;

    const QString portText = singleSettingValue(group, "openrgbport");
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    device.openrgb.port = ok && port >= 1 && port <= 65535 ? quint16(port) : protocol::openrgb::kDefaultPort;
    if (!portText.isEmpty() && device.openrgb.port != port)
        qDebug().noquote() << "Settings: openrgbPort" << portText << "is no port:" << device.openrgb.port;

    for (const QString &name : group.value(QStringLiteral("openrgbdevices")).split(QLatin1Char(';'))) {
        if (!name.trimmed().isEmpty())
            device.openrgb.devices << name.trimmed();
    }

    const QString atExit = singleSettingValue(group, "openrgbatexit").toLower();
    if (atExit == QLatin1String("profile"))
        device.openrgb.atExit = AtExit::Profile;
    else if (!atExit.isEmpty() && atExit != QLatin1String("restore"))
        qDebug().noquote() << "Settings: openrgbAtExit" << atExit << "is not restore or profile: restore";
    return device;
}
