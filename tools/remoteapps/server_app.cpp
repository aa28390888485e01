#include "server_app.h"

#include "desktop_session.h"
#include "remote_apps_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace remoteapps {

namespace {

int g_signalPipe[2] = {-1, -1};

// Only a write is safe in a handler; the event loop sends the talk.
void onUser1(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Built-in scripts by their names, else the files of those names, as one.
std::optional<QList<Step>> loadScript(const ServerOptions &options, QString *error)
{
    QString text;
    for (const QString &name : options.scripts) {
        QString part = builtInScript(name);
        if (part.isEmpty()) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                *error = QStringLiteral("no built-in script and no file %1").arg(name);
                return std::nullopt;
            }
            part = QString::fromUtf8(file.readAll());
        }
        text += part + QLatin1Char('\n');
    }
    ScriptSettings settings;
    settings.stringIds = options.stringIds;
    settings.reversePairs = options.reversePairs;
    settings.unknownEvents = options.unknownEvents;
    std::optional<QList<Step>> steps = parseScript(text, settings, error);
    if (!steps)
        *error = options.scripts.join(QLatin1String(" + ")) + QStringLiteral(": ") + *error;
    return steps;
}

}  // namespace

int runRemoteAppsServer(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("remoteapps"));
    QCommandLineParser parser;
    ServerOptions options;
    QString error;
    const ParseResult parsed = parseServerOptions(&parser, app.arguments(), &options, &error);
    if (parsed == ParseResult::Help)
        parser.showHelp(0);
    const std::optional<QList<Step>> script = parsed == ParseResult::Ok ? loadScript(options, &error) : std::nullopt;
    if (!script) {
        std::fprintf(stderr, "remoteapps: %s\n", qPrintable(error));
        return 2;
    }

    RemoteAppsServer server(options, *script, printLine);
    // Before it listens, so that whoever sees it listen may signal it.
    if (::pipe(g_signalPipe) != 0) {
        std::fprintf(stderr, "remoteapps: no pipe for SIGUSR1\n");
        return 1;
    }
    QSocketNotifier user1(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&user1, &QSocketNotifier::activated, &server, [&server] {
        char byte;
        if (::read(g_signalPipe[0], &byte, 1) == 1)
            server.sendTalk();
    });
    std::signal(SIGUSR1, onUser1);
    platform::quitOnTerminationSignals(&app);
    if (!server.start(&error)) {
        std::fprintf(stderr, "remoteapps: %s\n", qPrintable(error));
        return 1;
    }
    printLine("listening on " + QByteArray::number(server.port()));

    const int status = app.exec();
    printLine("auth requests: " + QByteArray::number(server.authRequests()));
    return status;
}

}  // namespace remoteapps
