#include "session_end.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QObject>

#include <windows.h>

namespace platform {

namespace {

// Windows asks every top-level window of the program whether the session
// may end, then tells each that it ends; the process may be ended as soon
// as one of them returns.
class SessionEndFilter : public QAbstractNativeEventFilter
{
public:
    explicit SessionEndFilter(std::function<void()> ending) : m_ending(std::move(ending)) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION) {
            // Nothing here is worth keeping a session for.
            *result = TRUE;
            return true;
        }
        if (msg->message == WM_ENDSESSION && msg->wParam && !m_ended) {
            m_ended = true;
            m_ending();
        }
        return false;  // Qt sees the end as well
    }

private:
    std::function<void()> m_ending;
    bool m_ended = false;
};

}  // namespace

void onSessionEnd(QObject *owner, std::function<void()> ending)
{
    auto *filter = new SessionEndFilter(std::move(ending));
    QCoreApplication::instance()->installNativeEventFilter(filter);
    QObject::connect(owner, &QObject::destroyed, [filter] {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(filter);
        delete filter;
    });
}

}  // namespace platform
