// Shared fixtures: a private runtime folder per test program, a recorder of
// window messages, a capture of log lines, a file's writing, a data table's
// columns, and a comparison with a golden file.
#pragma once

#include "window_messages.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

// Points XDG_RUNTIME_DIR at a fresh 0700 folder, so endpoints and the
// command server of one test never meet another test's.
class PrivateRuntimeDir
{
public:
    PrivateRuntimeDir()
    {
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Records every window message that reaches the application's native event
// filters.
class MessageRecorder : public QAbstractNativeEventFilter
{
public:
    MessageRecorder() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~MessageRecorder() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *) override
    {
        platform::Message read;
        if (platform::readNativeMessage(eventType.constData(), message, &read))
            messages.append(read);
        return false;
    }
    QList<platform::Message> to(platform::Handle window, std::uint32_t id) const
    {
        QList<platform::Message> matching;
        for (const platform::Message &message : messages) {
            if (message.window == window && message.id == id)
                matching.append(message);
        }
        return matching;
    }

    QList<platform::Message> messages;
};

// Collects qDebug() lines while it lives, inside another capture too;
// VOSSIK_TEST_ECHO_LOG=1 passes them on as well.
class LogCapture
{
public:
    LogCapture() : m_outer(s_capture), m_previous(qInstallMessageHandler(capture)) { s_capture = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_capture = m_outer;
    }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    int count(const QString &line) const { return lines().count(line); }

private:
    static void capture(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        QMutexLocker lock(&s_capture->m_mutex);
        s_capture->m_lines.append(text);
        if (qEnvironmentVariableIsSet("VOSSIK_TEST_ECHO_LOG") && !s_capture->m_outer)
            s_capture->m_previous(type, context, text);
    }
    static inline LogCapture *s_capture = nullptr;
    LogCapture *const m_outer;
    const QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

// Writes `bytes` as the whole of the file at `path`.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

// The whole of the file at `path`; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Adds a data table's columns, one type for each name:
// columns<int, QString>({"count", "word"}).
template <typename... T>
void columns(std::initializer_list<const char *> names)
{
    auto name = names.begin();
    (QTest::addColumn<T>(*name++), ...);
}

// Compares `actual` with the golden file tests/data/<name>, line by line;
// VOSSIK_UPDATE_GOLDEN=1 writes the file anew. On a mismatch the actual
// lines are left in <name> in the working folder, to compare the two.
inline void compareWithGolden(const QString &name, const QStringList &actual)
{
    const QString golden = QStringLiteral(GOLDEN_DIR "/") + name;
    const QByteArray bytes = (actual.join('\n') + '\n').toUtf8();
    QFile file(golden);
    if (qEnvironmentVariableIntValue("VOSSIK_UPDATE_GOLDEN") == 1)
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(golden));
    const QStringList expected = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    if (actual != expected) {
        QFile out(QDir::current().filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        qWarning("%s differs from %s: compare the two, or accept it with VOSSIK_UPDATE_GOLDEN=1",
                 qPrintable(QFileInfo(out).absoluteFilePath()), qPrintable(golden));
    }
    QCOMPARE(actual, expected);
}
