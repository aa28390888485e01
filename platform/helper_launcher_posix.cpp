#include "helper_launcher.h"

#include "start_hidden.h"

#include <QProcess>

namespace platform {

QString helperProgramName()
{
    return QStringLiteral("TS3_Vossik_Helper_win64");
}

bool launchHelper(const QString &program, const QString &argument)
{
    // Detached and without a shell: the host never waits for the helper,
    // and the argument arrives as one, whatever it holds.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kStartHiddenVariable), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace platform
