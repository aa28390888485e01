// The standalone helper's tray icon and its menu. It only asks: what each
// item does, and what the menu shows, come from the actions it is given.
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QIcon;
class QMenu;
class QSystemTrayIcon;

struct TrayActions {
    std::function<void()> openSettings;
    std::function<bool()> lightsOn;       // what the light does now
    std::function<bool()> trayLightsOff;  // the menu's own toggle
    std::function<void(bool off)> setTrayLightsOff;
    std::function<void()> dismiss;
    std::function<void()> connectAgain;
    std::function<void()> openLog;
    std::function<bool()> startsWithSystem;  // read each time: the user may remove the entry by hand
    std::function<bool(bool on)> setStartWithSystem;
    std::function<void()> quit;
};

class TrayMenu : public QObject
{
    Q_OBJECT

public:
    explicit TrayMenu(TrayActions actions, QObject *parent = nullptr);
    ~TrayMenu() override;

    void show();
    void setToolTip(const QString &text);
    QString toolTip() const;
    QIcon icon() const;
    QMenu *menu() const { return m_menu; }
    // Reads what the items show; the menu does so each time it opens.
    void refresh();

private:
    const TrayActions m_actions;
    QMenu *m_menu;
    QAction *m_lights = nullptr;
    QAction *m_autostart = nullptr;
    QSystemTrayIcon *m_icon;
};
