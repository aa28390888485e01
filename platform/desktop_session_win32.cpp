#include "desktop_session.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

bool displayAvailable()
{
    return !qgetenv("QT_QPA_PLATFORM").startsWith("offscreen");
}

void quitOnTerminationSignals(QCoreApplication *)
{
}

}  // namespace platform
