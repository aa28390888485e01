// The server's window: each controller's name, its active mode and a row
// of its LEDs in their current colours.
#pragma once

#include <QWidget>

namespace openrgbserver {

class OpenRgbServer;

class ControllerView : public QWidget
{
    Q_OBJECT

public:
    explicit ControllerView(const OpenRgbServer *server, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const OpenRgbServer *m_server;
};

}  // namespace openrgbserver
