#include "server_app.h"

#include "controller_view.h"
#include "desktop_session.h"
#include "openrgb_server.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace openrgbserver {

namespace {

int g_signalPipe[2] = {-1, -1};

// Only a write is safe in a handler; the event loop does the switching.
void onUser1(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

int runOpenRgbServer(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    ServerOptions options;
    QString error;
    const ParseResult parsed = parseServerOptions(&parser, arguments, &options, &error);

    // Without a display there is nothing to draw on; the platform must be
    // chosen before QApplication exists.
    const bool display = platform::displayAvailable();
    if (!display && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("openrgbserver"));
    if (parsed == ParseResult::Help)
        parser.showHelp(0);
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "openrgbserver: %s\n", qPrintable(error));
        return 2;
    }

    OpenRgbServer server(options);
    if (!server.start(&error)) {
        std::fprintf(stderr, "openrgbserver: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("listening on %u\n", unsigned(server.port()));
    std::fflush(stdout);
    platform::quitOnTerminationSignals(&app);

    if (::pipe(g_signalPipe) != 0) {
        std::fprintf(stderr, "openrgbserver: no pipe for SIGUSR1\n");
        return 1;
    }
    QSocketNotifier user1(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&user1, &QSocketNotifier::activated, &server, [&server] {
        char byte;
        if (::read(g_signalPipe[0], &byte, 1) == 1)
            server.switchControllers();
    });
    std::signal(SIGUSR1, onUser1);

    std::unique_ptr<ControllerView> view;
    if (options.window && display) {
        view = std::make_unique<ControllerView>(&server);
        view->show();
    }
    return app.exec();
}

}  // namespace openrgbserver
