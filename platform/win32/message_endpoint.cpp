#include "message_endpoint.h"

#include <QWidget>

namespace platform {

Handle openEndpoint(QWidget *window)
{
    return static_cast<Handle>(window->winId());
}

}  // namespace platform
