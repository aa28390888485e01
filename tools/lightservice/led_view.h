// The service's window: the LED as the device would show it, what the
// latest command said, and the last few commands.
#pragma once

#include "light_decode.h"

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QTreeWidget;

namespace lightservice {

// One round LED with its glow. Runs a frame timer only while the effect
// animates, so a steady or dark LED costs nothing while idle.
class LedLamp : public QWidget
{
    Q_OBJECT

public:
    explicit LedLamp(QWidget *parent = nullptr);

    void setLight(const protocol::LightFields &fields);
    double brightness() const;
    bool isAnimating() const { return m_frameTimer.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateTimer();

    protocol::LightFields m_fields;
    QElapsedTimer m_since;  // the animation starts over with every command
    QTimer m_frameTimer;
};

class LedView : public QWidget
{
    Q_OBJECT

public:
    explicit LedView(QWidget *parent = nullptr);

    LedLamp *lamp() const { return m_lamp; }

    // How many past commands the history keeps.
    static constexpr int kHistorySize = 8;

public slots:
    void showCommand(quint64 wParam, qint64 lParam);
    void showAttached(quint64 helperHandle);

private:
    void addHistory(const protocol::LightFields &fields);

    LedLamp *m_lamp = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_zone = nullptr;
    QLabel *m_effect = nullptr;
    QLabel *m_speed = nullptr;
    QLabel *m_colour = nullptr;
    QTreeWidget *m_history = nullptr;
};

}  // namespace lightservice
