#include "helper_log.h"

#include "log_output.h"
#include "names.h"

#include <QDir>
#include <QString>
#include <QtGlobal>

namespace {

// The helper inherits the client's standard error, which may be a pipe
// that nobody drains or whose reader has gone: a line it cannot take now
// is dropped, never waited for, and never raises SIGPIPE.
platform::LogSink &helperSink()
{
    static auto *sink = new platform::LogSink(platform::StandardStream::Error);  // outlives every static
    return *sink;
}

void writeLogLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    helperSink().line(qFormatLogMessage(type, context, message).toStdString());
}

}  // namespace

void installHelperLog()
{
    qInstallMessageHandler(writeLogLine);
}

void logIntoFolder(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const std::string path =
        QDir::toNativeSeparators(QDir(folder).filePath(QLatin1String(protocol::kLogFileName))).toStdString();
    helperSink().alsoInto(
        std::make_unique<platform::LogFile>(path, path + protocol::kOlderLogSuffix, protocol::kLogFileLimitBytes));
}
