// A client of the helper's command server of a test's own, as the plugin's
// link is one: for tests that say words to a helper directly.
#pragma once

#include "command_framing.h"

#include <QLocalSocket>
#include <QtTest>

class CommandClient : public QLocalSocket
{
public:
    // Connected to the server `name` as soon as it listens, within 3 s.
    bool connectTo(const QString &name)
    {
        return QTest::qWaitFor(
            [&] {
                connectToServer(name);
                return waitForConnected(200);
            },
            3000);
    }
    // Sent, with the event loop running while any is left: a server in this
    // thread reads only then, and a Windows pipe may take nothing more until
    // it is read.
    bool send(const QByteArray &bytes)
    {
        write(bytes);
        flush();
        return QTest::qWaitFor([&] { return bytesToWrite() == 0; }, 2000);
    }
    bool say(const QString &word) { return send(framing::encodeFrame(word)); }
};
