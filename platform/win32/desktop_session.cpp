#include "desktop_session.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

bool displayAvailable()
{
    return !qgetenv("QT_QPA_PLATFORM").startsWith("offscreen");
}

void useDialogFont(QApplication *)
{
    // Qt already uses the system's dialog font.
}

bool startedHidden()
{
    return false;
}

void quitOnTerminationSignals(QCoreApplication *) {}

}  // namespace platform
