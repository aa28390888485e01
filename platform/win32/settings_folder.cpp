#include "settings_folder.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString standaloneSettingsFolder()
{
    const QString appData = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (appData.isEmpty())
        return QString();
    const QString ts3 = appData + QStringLiteral("/TS3Client/");
    if (QFileInfo(ts3).isDir())
        return ts3;
    const QString ours = appData + QStringLiteral("/Vossik/");
    QDir().mkpath(ours);
    return ours;
}

}  // namespace platform
