// Shared fixtures: a private runtime folder per test program, a recorder of
// window messages, and a capture of log lines.
#pragma once

#include "window_messages.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

// Points XDG_RUNTIME_DIR at a fresh 0700 folder, so endpoints and the
// command server of one test never meet another test's.
class PrivateRuntimeDir
{
public:
    PrivateRuntimeDir();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Records every window message that reaches the application's native event
// filters.
class MessageRecorder : public QAbstractNativeEventFilter
{
public:
    MessageRecorder();
    ~MessageRecorder() override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

    QList<winmsg::Message> messages;
    QList<winmsg::Message> to(winmsg::Handle window, std::uint32_t id) const;
};

// Collects qDebug() lines while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    int count(const QString &line) const;
    void clear();
};
