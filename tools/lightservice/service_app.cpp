#include "service_app.h"

#include "led_view.h"
#include "light_service.h"
#include "desktop_session.h"
#include "message_endpoint.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace lightservice {

int runLightService(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    ServiceOptions options;
    QString error;
    const ParseResult parsed = parseServiceOptions(&parser, arguments, &options, &error);

    // The platform must be chosen before QApplication exists.
    // Without a display there is nothing to draw on; with one the real
    // platform stays, since on Windows the message window must be a real one.
    const bool display = platform::displayAvailable();
    const bool withWindow = parsed == ParseResult::Ok && options.window && display;
    if (!display && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lightservice"));
    if (parsed == ParseResult::Help)
        parser.showHelp(0);
    if (parsed == ParseResult::Error) {
        std::fprintf(stderr, "lightservice: %s\n", qPrintable(error));
        return 2;
    }

    QWidget messageWindow;  // owns the endpoint; never shown
    const platform::Handle ownHandle = platform::openEndpoint(&messageWindow);
    if (!ownHandle) {
        std::fprintf(stderr, "lightservice: cannot open a message endpoint\n");
        return 1;
    }
    LightService service(options, ownHandle);
    if (!service.isReady()) {
        std::fprintf(stderr, "lightservice: cannot register the light messages\n");
        return 1;
    }
    app.installNativeEventFilter(&service);
    platform::quitOnTerminationSignals(&app);

    std::unique_ptr<LedView> view;
    if (withWindow) {
        view = std::make_unique<LedView>();
        QObject::connect(&service, &LightService::commandReceived, view.get(), &LedView::showCommand);
        QObject::connect(&service, &LightService::attachSent, view.get(), &LedView::showAttached);
        view->show();
    }

    const int status = app.exec();
    app.removeNativeEventFilter(&service);
    return status;
}

}  // namespace lightservice
