#include "led_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lightservice {

namespace {

constexpr int kFrameMs = 16;
constexpr int kHistoryRowPx = 24;

QColor mix(const QColor &from, const QColor &to, double t)
{
    const double u = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(
        from.redF() + (to.redF() - from.redF()) * u, from.greenF() + (to.greenF() - from.greenF()) * u,
        from.blueF() + (to.blueF() - from.blueF()) * u, from.alphaF() + (to.alphaF() - from.alphaF()) * u);
}

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(std::clamp(alpha, 0.0, 1.0));
    return colour;
}

QColor colourOf(const protocol::LightFields &fields)
{
    return QColor(static_cast<QRgb>(fields.rgb));
}

QString rgbText(const protocol::LightFields &fields)
{
    return QString::fromStdString(formatRgb(fields.rgb));
}

QPixmap colourChip(const QColor &colour, int side)
{
    QPixmap chip(side, side);
    chip.fill(Qt::transparent);
    QPainter painter(&chip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x50, 0x55, 0x60), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, side - 3, side - 3));
    return chip;
}

QLabel *keyLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(QStringLiteral("key"));
    return label;
}

QLabel *valueLabel()
{
    auto *label = new QLabel(QStringLiteral("\u2014"));
    label->setObjectName(QStringLiteral("value"));
    label->setTextFormat(Qt::RichText);
    return label;
}

const char kStyle[] = R"(
lightservice--LedView { background: #15171c; }
QLabel { color: #d9dce3; }
QLabel#title { font-size: 20px; font-weight: 600; color: #f3f4f6; }
QLabel#subtitle { color: #7f8591; }
QLabel#status { color: #b4b9c3; }
QLabel#key { color: #7f8591; }
QLabel#value { font-weight: 600; font-size: 14px; }
QLabel#section { color: #7f8591; font-weight: 600; letter-spacing: 1px; }
QTreeWidget { background: #1b1e24; alternate-background-color: #1f2229; color: #d9dce3;
              border: 1px solid #2a2e37; border-radius: 6px; }
QTreeWidget::item { height: 24px; }
QHeaderView::section { background: #1b1e24; color: #7f8591; border: none;
                       border-bottom: 1px solid #2a2e37; padding: 4px 6px; }
)";

}  // namespace

LedLamp::LedLamp(QWidget *parent) : QWidget(parent)
{
    m_frameTimer.setInterval(kFrameMs);
    connect(&m_frameTimer, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
    m_since.start();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void LedLamp::setLight(const protocol::LightFields &fields)
{
    m_fields = fields;
    m_since.restart();
    updateTimer();
    update();
}

double LedLamp::brightness() const
{
    return effectBrightness(m_fields.effect, m_fields.speed, m_since.elapsed());
}

QSize LedLamp::sizeHint() const
{
    return {240, 240};
}

QSize LedLamp::minimumSizeHint() const
{
    return {120, 120};
}

void LedLamp::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void LedLamp::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_frameTimer.stop();
}

void LedLamp::updateTimer()
{
    if (isAnimatedEffect(m_fields.effect) && isVisible())
        m_frameTimer.start();
    else
        m_frameTimer.stop();
}

void LedLamp::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QPointF centre = QRectF(rect()).center();
    const double outer = std::min(width(), height()) / 2.0;
    const double bezel = outer * 0.64;
    const double lens = outer * 0.54;
    const double level = brightness();
    const QColor light = colourOf(m_fields);
    // A black command lights nothing, however bright the effect says it is.
    const double glow = level * std::max({light.redF(), light.greenF(), light.blueF()});

    if (glow > 0.0) {
        QRadialGradient halo(centre, outer);
        halo.setColorAt(lens / outer, withAlpha(light, 0.65 * glow));
        halo.setColorAt(0.8, withAlpha(light, 0.18 * glow));
        halo.setColorAt(1.0, withAlpha(light, 0.0));
        painter.setBrush(halo);
        painter.drawEllipse(centre, outer, outer);
    }

    QLinearGradient ring(centre.x(), centre.y() - bezel, centre.x(), centre.y() + bezel);
    ring.setColorAt(0.0, QColor(0x5a, 0x5f, 0x69));
    ring.setColorAt(0.5, QColor(0x2c, 0x2f, 0x36));
    ring.setColorAt(1.0, QColor(0x14, 0x15, 0x19));
    painter.setBrush(ring);
    painter.drawEllipse(centre, bezel, bezel);
    painter.setBrush(QColor(0x0c, 0x0d, 0x10));
    painter.drawEllipse(centre, lens * 1.04, lens * 1.04);

    // The lens: frosted dark plastic that takes the light's colour as it
    // brightens, hottest in the middle where the emitter sits.
    const QColor darkCentre(0x34, 0x37, 0x3e);
    const QColor darkEdge(0x15, 0x16, 0x1a);
    QRadialGradient body(centre, lens);
    body.setColorAt(0.0, mix(darkCentre, mix(light, Qt::white, 0.6), level));
    body.setColorAt(0.45, mix(darkCentre, light, level));
    body.setColorAt(1.0, mix(darkEdge, light.darker(180), level));
    painter.setBrush(body);
    painter.drawEllipse(centre, lens, lens);

    const QRectF shine(centre.x() - lens * 0.62, centre.y() - lens * 0.82, lens * 1.0, lens * 0.6);
    QRadialGradient gloss(shine.center(), shine.width() / 2);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 80));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(gloss);
    painter.drawEllipse(shine);
}

LedView::LedView(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Vossik ZELL FX \u2014 light service"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kStyle));

    m_lamp = new LedLamp;

    auto *title = new QLabel(QStringLiteral("Vossik ZELL FX"));
    title->setObjectName(QStringLiteral("title"));
    auto *subtitle = new QLabel(QStringLiteral("Light service"));
    subtitle->setObjectName(QStringLiteral("subtitle"));
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::RichText);
    m_status->setText(QStringLiteral("<span style=\"color:#d0a03a\">\u25CF</span>&nbsp; Waiting for the helper"));

    m_zone = valueLabel();
    m_effect = valueLabel();
    m_speed = valueLabel();
    m_colour = valueLabel();
    auto *details = new QGridLayout;
    details->setHorizontalSpacing(18);
    details->setVerticalSpacing(8);
    details->addWidget(keyLabel(QStringLiteral("Zone")), 0, 0);
    details->addWidget(m_zone, 0, 1);
    details->addWidget(keyLabel(QStringLiteral("Effect")), 1, 0);
    details->addWidget(m_effect, 1, 1);
    details->addWidget(keyLabel(QStringLiteral("Speed")), 2, 0);
    details->addWidget(m_speed, 2, 1);
    details->addWidget(keyLabel(QStringLiteral("Colour")), 3, 0);
    details->addWidget(m_colour, 3, 1);
    details->setColumnStretch(1, 1);

    auto *info = new QVBoxLayout;
    info->addWidget(title);
    info->addWidget(subtitle);
    info->addSpacing(6);
    info->addWidget(m_status);
    info->addSpacing(16);
    info->addLayout(details);
    info->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addWidget(m_lamp, 3);
    top->addSpacing(12);
    top->addLayout(info, 2);

    auto *historyTitle = new QLabel(QStringLiteral("RECENT COMMANDS"));
    historyTitle->setObjectName(QStringLiteral("section"));
    m_history = new QTreeWidget;
    m_history->setColumnCount(5);
    m_history->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Zone"), QStringLiteral("Effect"),
                                QStringLiteral("Speed"), QStringLiteral("Colour")});
    m_history->setRootIsDecorated(false);
    m_history->setUniformRowHeights(true);
    m_history->setAlternatingRowColors(true);
    m_history->setSelectionMode(QAbstractItemView::NoSelection);
    m_history->setFocusPolicy(Qt::NoFocus);
    m_history->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_history->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_history->setIconSize(QSize(12, 12));
    m_history->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_history->header()->setSectionsClickable(false);
    m_history->setFixedHeight(kHistorySize * kHistoryRowPx + m_history->header()->sizeHint().height() + 6);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 18);
    layout->addLayout(top, 1);
    layout->addSpacing(10);
    layout->addWidget(historyTitle);
    layout->addWidget(m_history);

    resize(620, 600);
}

void LedView::showCommand(quint64 wParam, qint64 lParam)
{
    const protocol::LightFields fields = protocol::LightCommand{wParam, lParam}.unpack();
    m_lamp->setLight(fields);
    m_zone->setText(QString::fromStdString(zoneName(fields.zone)).toHtmlEscaped());
    m_effect->setText(QString::fromStdString(effectName(fields.effect)).toHtmlEscaped());
    m_speed->setText(QString::fromStdString(speedName(fields.speed)).toHtmlEscaped());
    m_colour->setText(QStringLiteral("<span style=\"color:%1\">\u25A0</span>&nbsp;%1").arg(rgbText(fields)));
    addHistory(fields);
}

void LedView::showAttached(quint64 helperHandle)
{
    m_status->setText(QStringLiteral("<span style=\"color:#3ecf6e\">\u25CF</span>&nbsp; Attached to helper 0x%1")
                          .arg(helperHandle, 0, 16));
}

void LedView::addHistory(const protocol::LightFields &fields)
{
    auto *item = new QTreeWidgetItem({QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                                      QString::fromStdString(zoneName(fields.zone)),
                                      QString::fromStdString(effectName(fields.effect)),
                                      QString::fromStdString(speedName(fields.speed)), rgbText(fields)});
    item->setIcon(0, QIcon(colourChip(colourOf(fields), 24)));
    m_history->insertTopLevelItem(0, item);
    while (m_history->topLevelItemCount() > kHistorySize)
        delete m_history->takeTopLevelItem(m_history->topLevelItemCount() - 1);
}

}  // namespace lightservice
