#include "attach_event_filter.h"

#include "light_control_api.h"

#include <QByteArray>

bool AttachEventFilter::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    if (eventType != platform::nativeEventType())
        return false;
    return attachEventFilter(message, result);
}
