#include "settings_folder.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString standaloneSettingsFolder()
{
    const QString home = QDir::homePath();
    const QString ts3 = home + QStringLiteral("/.ts3client/");
    if (QFileInfo(ts3).isDir())
        return ts3;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The variable counts only as an absolute path.
    if (!config.startsWith(QLatin1Char('/')))
        config = home + QStringLiteral("/.config");
    const QString ours = config + QStringLiteral("/vossik/");
    QDir().mkpath(ours);
    return ours;
}

}  // namespace platform
