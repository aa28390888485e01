// The helper's one light output: the device service reached through window
// messages, a lighting server over TCP, or, by default, the device service
// while one is attached and the lighting server otherwise. Never both at
// once: the server's client is stopped while the service is attached.
#pragma once

#include "light_output.h"

#include <QObject>
#include <QTimer>

struct LightControlApi;
class OpenRgbClient;

enum class LightService { Auto, Zell, OpenRgb };

class LightRouter : public QObject, public LightOutput
{
    Q_OBJECT
public:
    // `link` (the window-message link, needed for Auto and Zell) and
    // `client` (needed for Auto and OpenRgb) stay owned by the caller and
    // must outlive the router.
    LightRouter(LightService service, LightControlApi *link, OpenRgbClient *client, QObject *parent = nullptr);

    bool show(const protocol::LightCommand &command) override;
    bool showShutdown(const protocol::LightCommand &shutdownProfile) override;
    void forgetLastCommand() override;
    void searchAgain() override;

    // The link's service attached or ended.
    void onServiceChanged();

    // At start the device service gets this long to answer DISCOVER before
    // the lighting server is tried.
    static constexpr int kServiceGraceMs = 300;

private:
    void useServer(bool use);

    LightService m_service;
    LightControlApi *m_link;
    OpenRgbClient *m_client;
    QTimer m_grace;
};
