#include "running_helper.h"

#include "command_framing.h"
#include "command_server_name.h"

#include <QLocalSocket>

namespace {

constexpr int kConnectMs = 2000;
constexpr int kWriteMs = 2000;
// A helper that quits shows the shutdown profile first, then closes every
// connection as it stops serving.
constexpr int kQuitMs = 5000;

}  // namespace

RequestResult askRunningHelper(protocol::CommandWord request)
{
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(platform::commandServerName()));
    if (!socket.waitForConnected(kConnectMs)) {
        const bool absent = socket.error() == QLocalSocket::ServerNotFoundError
                            || socket.error() == QLocalSocket::ConnectionRefusedError;
        return absent ? RequestResult::NoneRuns : RequestResult::Failed;
    }
    socket.write(framing::encodeFrame(QLatin1String(protocol::commandWordText(request))));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kWriteMs))
            return RequestResult::Failed;
    }
    if (request != protocol::CommandWord::Quit) {
        socket.disconnectFromServer();
        return RequestResult::Done;
    }
    // Nothing ever comes back: reading waits for the close.
    while (socket.state() == QLocalSocket::ConnectedState) {
        if (!socket.waitForReadyRead(kQuitMs) && socket.state() == QLocalSocket::ConnectedState)
            return RequestResult::Failed;
        socket.readAll();
    }
    return RequestResult::Done;
}
