// Installs attachEventFilter through Qt 5's native event filter.
#pragma once

#include <QAbstractNativeEventFilter>

class AttachEventFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;
};
