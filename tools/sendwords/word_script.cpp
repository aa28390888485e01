#include "word_script.h"

#include "command_frame.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

#include <cstdio>
#include <string>

namespace sendwords {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int kWriteTimeoutMs = 5000;

bool writeAll(QLocalSocket &socket, const QByteArray &bytes)
{
    if (socket.write(bytes) != bytes.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kWriteTimeoutMs))
            return false;
    }
    return true;
}

}  // namespace

QList<Step> parseScript(const QString &text, QString *error)
{
    QList<Step> steps;
    int lineNumber = 0;
    for (const QString &rawLine : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Step step;
        if (parts.first() == QLatin1String("sleep")) {
            bool ok = false;
            step.sleepMs = parts.size() == 2 ? parts.at(1).toInt(&ok) : 0;
            if (!ok || step.sleepMs <= 0) {
                if (error)
                    *error = QStringLiteral("line %1: sleep takes a positive number of milliseconds").arg(lineNumber);
                return {};
            }
        } else {
            step.word = line;
        }
        steps.append(step);
    }
    return steps;
}

int play(const QList<Step> &steps, const Options &options)
{
    QLocalSocket socket;
    socket.connectToServer(options.serverName, QIODevice::ReadWrite);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        std::fprintf(stderr, "sendwords: cannot connect to %s: %s\n", qPrintable(options.serverName),
                     qPrintable(socket.errorString()));
        return 1;
    }
    QByteArray pending;
    for (const Step &step : steps) {
        if (step.sleepMs > 0) {
            if (!pending.isEmpty() && !writeAll(socket, pending))
                return 1;
            pending.clear();
            QThread::msleep(static_cast<unsigned long>(step.sleepMs));
            continue;
        }
        if (options.echo)
            std::printf("-> %s\n", qPrintable(step.word)), std::fflush(stdout);
        std::string bytes;
        protocol::appendFrame(&bytes, step.word.toStdU16String());
        const QByteArray frame = QByteArray::fromStdString(bytes);
        switch (options.mode) {
        case WriteMode::OneWrite:
            pending += frame;
            break;
        case WriteMode::PerWord:
            if (!writeAll(socket, frame))
                return 1;
            break;
        case WriteMode::Bytewise:
            for (char byte : frame) {
                if (!writeAll(socket, QByteArray(1, byte)))
                    return 1;
                QThread::msleep(2);
            }
            break;
        }
    }
    if (!pending.isEmpty() && !writeAll(socket, pending))
        return 1;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return 0;
}

}  // namespace sendwords
