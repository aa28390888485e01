#include "message_endpoint.h"

#include <QWidget>

namespace winmsg {

Handle openEndpoint(QWidget *window)
{
    return static_cast<Handle>(window->winId());
}

}  // namespace winmsg
