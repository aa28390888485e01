#include "controller_view.h"

#include "openrgb_server.h"

#include <QPainter>

namespace openrgbserver {

namespace {

constexpr int kLed = 18;     // one LED's square
constexpr int kRow = 52;     // a controller: its label, then its LEDs
constexpr int kPerRow = 24;  // LEDs in one line before the row wraps

}  // namespace

ControllerView::ControllerView(const OpenRgbServer *server, QWidget *parent) : QWidget(parent), m_server(server)
{
    setWindowTitle(QStringLiteral("Stand-in lighting server"));
    connect(server, &OpenRgbServer::changed, this, qOverload<>(&QWidget::update));
}

QSize ControllerView::sizeHint() const
{
    int height = 8;
    for (const auto &controller : m_server->controllers())
        height += kRow + (int(controller.leds.size()) - 1) / kPerRow * kLed;
    return {kPerRow * kLed + 16, height};
}

void ControllerView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(24, 24, 28));
    painter.setRenderHint(QPainter::Antialiasing);
    int top = 8;
    for (const auto &controller : m_server->controllers()) {
        const std::size_t mode = std::size_t(controller.activeMode);
        painter.setPen(Qt::white);
        painter.drawText(8, top + 14,
                         QStringLiteral("%1 — %2").arg(QString::fromStdString(controller.name),
                                                       mode < controller.modes.size()
                                                           ? QString::fromStdString(controller.modes[mode].name)
                                                           : QStringLiteral("?")));
        painter.setPen(Qt::NoPen);
        for (std::size_t i = 0; i < controller.colors.size(); ++i) {
            const auto &c = controller.colors[i];
            painter.setBrush(QColor(c.red, c.green, c.blue));
            painter.drawEllipse(8 + int(i % kPerRow) * kLed, top + 22 + int(i / kPerRow) * kLed, kLed - 4, kLed - 4);
        }
        top += kRow + (int(controller.leds.size()) - 1) / kPerRow * kLed;
    }
}

}  // namespace openrgbserver
