#include "test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>

PrivateRuntimeDir::PrivateRuntimeDir()
{
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
}

MessageRecorder::MessageRecorder()
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

MessageRecorder::~MessageRecorder()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool MessageRecorder::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    winmsg::Message read;
    if (winmsg::readNativeMessage(eventType.constData(), message, &read))
        messages.append(read);
    return false;
}

QList<winmsg::Message> MessageRecorder::to(winmsg::Handle window, std::uint32_t id) const
{
    QList<winmsg::Message> matching;
    for (const winmsg::Message &message : messages) {
        if (message.window == window && message.id == id)
            matching.append(message);
    }
    return matching;
}

namespace {

QMutex g_logMutex;
QStringList g_logLines;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    {
        QMutexLocker lock(&g_logMutex);
        g_logLines.append(text);
    }
    if (qEnvironmentVariableIsSet("VOSSIK_TEST_ECHO_LOG") && g_previousHandler)
        g_previousHandler(type, context, text);
}

}  // namespace

LogCapture::LogCapture()
{
    clear();
    g_previousHandler = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previousHandler);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&g_logMutex);
    return g_logLines;
}

int LogCapture::count(const QString &line) const
{
    return lines().count(line);
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_logMutex);
    g_logLines.clear();
}
