#include "message_endpoint.h"

#include "window_messages_posix.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QWidget>

namespace platform {

namespace {

// Owns one endpoint and feeds what arrives to the native event filters.
class EndpointReceiver : public QObject
{
public:
    EndpointReceiver(const Endpoint &endpoint, QObject *parent)
        : QObject(parent), m_endpoint(endpoint), m_notifier(endpoint.readFd, QSocketNotifier::Read, this)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &EndpointReceiver::drain);
    }

    ~EndpointReceiver() override { closeEndpoint(&m_endpoint); }

    Handle handle() const { return m_endpoint.handle; }

private:
    void drain()
    {
        const QByteArray eventType(nativeEventType());
        drainEndpoint(&m_endpoint, [&eventType](const Message &message) {
            long result = 0;
            if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
                dispatcher->filterNativeEvent(eventType, const_cast<Message *>(&message), &result);
        });
    }

    Endpoint m_endpoint;
    QSocketNotifier m_notifier;
};

}  // namespace

Handle openEndpoint(QWidget *window)
{
    Endpoint endpoint;
    if (!openEndpoint(&endpoint))
        return 0;
    return (new EndpointReceiver(endpoint, window))->handle();
}

}  // namespace platform
