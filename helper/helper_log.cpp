#include "helper_log.h"

#include "log_output.h"

#include <QString>
#include <QtGlobal>

namespace {

// The helper inherits the client's standard error, which may be a pipe
// that nobody drains or whose reader has gone: a line it cannot take now
// is dropped, never waited for, and never raises SIGPIPE.
void writeLogLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static auto *sink = new platform::LogSink(platform::StandardStream::Error);  // outlives every static
    sink->line(qFormatLogMessage(type, context, message).toStdString());
}

}  // namespace

void installHelperLog()
{
    qInstallMessageHandler(writeLogLine);
}
