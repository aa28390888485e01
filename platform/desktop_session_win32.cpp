#include "desktop_session.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

bool displayAvailable()
{
    return !qgetenv("QT_QPA_PLATFORM").startsWith("offscreen");
}

bool startedHidden()
{
    return false;
}

void quitOnTerminationSignals(QCoreApplication *)
{
}

}  // namespace platform
