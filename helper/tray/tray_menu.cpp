#include "tray_menu.h"

#include <QDebug>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

QIcon trayIcon()
{
    QIcon icon;
    for (const int size : {16, 20, 24, 32, 40, 48})
        icon.addFile(QStringLiteral(":/icons/vossik-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

TrayMenu::TrayMenu(TrayActions actions, QObject *parent)
    : QObject(parent), m_actions(std::move(actions)), m_menu(new QMenu), m_icon(new QSystemTrayIcon(this))
{
    m_menu->addAction(QStringLiteral("Color settings"), this, [this] { m_actions.openSettings(); });
    m_lights = m_menu->addAction(QString(), this, [this] {
        m_actions.setTrayLightsOff(!m_actions.trayLightsOff());
        refresh();
    });
    m_lights->setCheckable(true);
    m_menu->addAction(QStringLiteral("Dismiss the light signal"), this, [this] { m_actions.dismiss(); });
    m_menu->addAction(QStringLiteral("Connect to TeamSpeak"), this, [this] { m_actions.connectAgain(); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Open log"), this, [this] { m_actions.openLog(); });
    m_autostart = m_menu->addAction(QStringLiteral("Start with the system"), this, [this](bool on) {
        if (!m_actions.setStartWithSystem(on))
            qDebug() << "Start with the system: the entry could not be" << (on ? "made" : "removed");
        refresh();
    });
    m_autostart->setCheckable(true);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit"), this, [this] { m_actions.quit(); });
    connect(m_menu, &QMenu::aboutToShow, this, &TrayMenu::refresh);
    m_icon->setIcon(trayIcon());
    m_icon->setContextMenu(m_menu);
    refresh();
}

TrayMenu::~TrayMenu()
{
    delete m_menu;  // not a child: a menu is a window of its own
}

void TrayMenu::show()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        qDebug() << "No system tray yet: the icon shows once there is one; meanwhile --settings and --quit reach "
                    "this helper";
    m_icon->show();
}

void TrayMenu::setToolTip(const QString &text)
{
    m_icon->setToolTip(text);
}

QString TrayMenu::toolTip() const
{
    return m_icon->toolTip();
}

QIcon TrayMenu::icon() const
{
    return m_icon->icon();
}

void TrayMenu::refresh()
{
    const bool on = m_actions.lightsOn();
    m_lights->setText(on ? QStringLiteral("Lights on") : QStringLiteral("Lights off"));
    m_lights->setChecked(on);
    m_autostart->setChecked(m_actions.startsWithSystem());
}
