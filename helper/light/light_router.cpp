#include "light_router.h"

#include "light_control_api.h"
#include "openrgb_client.h"

#include <QDebug>

LightRouter::LightRouter(LightService service, LightControlApi *link, OpenRgbClient *client, QObject *parent)
    : QObject(parent), m_service(service), m_link(link), m_client(client)
{
    if (m_service == LightService::OpenRgb && m_client) {
        useServer(true);
    } else if (m_service == LightService::Auto && m_client) {
        m_grace.setSingleShot(true);
        m_grace.setInterval(kServiceGraceMs);
        connect(&m_grace, &QTimer::timeout, this, &LightRouter::onServiceChanged);
        m_grace.start();
    }
}

bool LightRouter::show(const protocol::LightCommand &command)
{
    // Each side keeps the command whether it shows it or not, so the one
    // that takes over next shows the current state at once. The server's
    // client only keeps it while stopped.
    bool shown = false;
    if (m_service != LightService::OpenRgb && m_link)
        shown = postLightCommand(m_link, command);
    if (m_service != LightService::Zell && m_client)
        shown = m_client->show(command) || shown;
    return shown;
}

bool LightRouter::showShutdown(const protocol::LightCommand &shutdownProfile)
{
    // The device service always shows the profile; the lighting server's
    // client may give the controllers back to their owner's lighting.
    bool shown = false;
    if (m_service != LightService::OpenRgb && m_link)
        shown = postLightCommand(m_link, shutdownProfile);
    if (m_service != LightService::Zell && m_client)
        shown = m_client->showShutdown(shutdownProfile) || shown;
    return shown;
}

void LightRouter::forgetLastCommand()
{
    if (m_link)
        m_link->hasLastCommand = false;
    if (m_client)
        m_client->forgetLastCommand();
}

void LightRouter::searchAgain()
{
    if (m_service != LightService::OpenRgb && m_link)
        restartLightSearch(m_link);
    if (m_service != LightService::Zell && m_client)
        m_client->searchAgain();
}

void LightRouter::onServiceChanged()
{
    if (m_service != LightService::Auto || !m_client)
        return;
    m_grace.stop();
    useServer(!(m_link && m_link->serviceWnd));
}

void LightRouter::useServer(bool use)
{
    if (use == m_client->isStarted())
        return;
    if (use) {
        qDebug() << "Lights on the light server";
        m_client->start();
    } else {
        qDebug() << "Lights on the device service";
        m_client->stop();
    }
}
