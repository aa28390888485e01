#include "helper_launcher.h"

#include <QProcess>

namespace platform {

QString helperProgramName()
{
    return QStringLiteral("TS3_Vossik_Helper_win64");
}

bool launchHelper(const QString &program, const QString &argument)
{
    // Detached: the helper outlives neither a shell nor the host's process
    // group, and the host never waits for it.
    return QProcess::startDetached(program, {argument});
}

}  // namespace platform
