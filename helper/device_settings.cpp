#include "device_settings.h"

#include "openrgb_protocol.h"
#include "settings_file.h"

#include <QDebug>
#include <QFile>
#include <QHash>

namespace {

// The group's values as their lines hold them, quotes taken off. Not
// through QSettings: the list's ';' starts a comment there, so only the
// first name would be kept. Group and keys match without case, on every
// system alike.
QHash<QString, QString> deviceGroup()
{
    QHash<QString, QString> values;
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return values;
    bool inGroup = false;
    for (const QByteArray &bytes : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            // As QSettings reads a header: up to its ']', or the whole line
            // without one; a comment after it is no part of the name.
            const int close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inGroup = name.compare(QLatin1String("device"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toLower();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (!values.contains(key))
            values.insert(key, value);
    }
    return values;
}

// A single value: what stands before a comment.
QString single(const QHash<QString, QString> &group, const char *key)
{
    return group.value(QLatin1String(key)).section(QLatin1Char(';'), 0, 0).trimmed();
}

}  // namespace

DeviceSettings readDeviceSettings()
{
    DeviceSettings device;
    // An unreadable file is reported by the profiles' reader; here it only
    // means the defaults.
    if (!settingsFileProblem().isEmpty())
        return device;
    const QHash<QString, QString> group = deviceGroup();

    const QString service = single(group, "lightservice").toLower();
    if (service == QLatin1String("zell"))
        device.service = LightService::Zell;
    else if (service == QLatin1String("openrgb"))
        device.service = LightService::OpenRgb;
    else if (!service.isEmpty() && service != QLatin1String("auto"))
        qDebug().noquote() << "Settings: lightService" << service << "is not auto, zell or openrgb: auto";

    const QString host = single(group, "openrgbhost");
    device.openrgb.host = host.isEmpty() ? QString::fromLatin1(protocol::openrgb::kDefaultHost) : host;

    const QString portText = single(group, "openrgbport");
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    device.openrgb.port = ok && port >= 1 && port <= 65535 ? quint16(port) : protocol::openrgb::kDefaultPort;
    if (!portText.isEmpty() && device.openrgb.port != port)
        qDebug().noquote() << "Settings: openrgbPort" << portText << "is no port:" << device.openrgb.port;

    for (const QString &name : group.value(QStringLiteral("openrgbdevices")).split(QLatin1Char(';'))) {
        if (!name.trimmed().isEmpty())
            device.openrgb.devices << name.trimmed();
    }

    const QString atExit = single(group, "openrgbatexit").toLower();
    if (atExit == QLatin1String("profile"))
        device.openrgb.atExit = AtExit::Profile;
    else if (!atExit.isEmpty() && atExit != QLatin1String("restore"))
        qDebug().noquote() << "Settings: openrgbAtExit" << atExit << "is not restore or profile: restore";
    return device;
}
