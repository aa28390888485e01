#include "tray_text.h"

#include <QCoreApplication>

QString trayToolTip(remote_apps::Client::Status status, int servers, int plugins)
{
    using Status = remote_apps::Client::Status;
    QString line;
    switch (status) {
    case Status::Connected:
        line = servers == 1 ? QStringLiteral("TeamSpeak: connected, 1 server")
                            : QStringLiteral("TeamSpeak: connected, %1 servers").arg(servers);
        break;
    case Status::Looking:
        line = QStringLiteral("waiting for TeamSpeak");
        break;
    case Status::AskingUser:
        line = QStringLiteral("waiting for TeamSpeak — allow the app there");
        break;
    case Status::Refused:
        line = QStringLiteral("not allowed in TeamSpeak — use Connect to TeamSpeak");
        break;
    case Status::Off:
        line = QStringLiteral("TeamSpeak 5/6: off in the settings");
        break;
    }
    QString tip = QStringLiteral("Vossik lights\n") + line;
    if (plugins > 0)
        tip += plugins == 1 ? QStringLiteral("\nTeamSpeak 3: 1 plugin")
                            : QStringLiteral("\nTeamSpeak 3: %1 plugins").arg(plugins);
    return tip;
}
