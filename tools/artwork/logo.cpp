#include "logo.h"

#include "layers.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>

#include <cmath>

namespace {

// In the logo's units.
const double kCx = kLogoArea.width() / 2.0;
const double kTop = 50, kBottom = 266;
const double kArmW = 74;     // horizontal width of an arm
const double kSpread = 122;  // outer corner distance from the centre
const double kFootHalf = kArmW / 2;
const double kCornerR = 7;
const QPointF kDot(kCx, 90);
const double kDotR = 22;

const QColor kTeal(0x12, 0xE6, 0xC8);
const QColor kBlue(0x22, 0x88, 0xFF);
const QColor kViolet(0x8A, 0x3A, 0xFF);
const QColor kDeepViolet(0x5A, 0x22, 0xD8);

// Each arm is a parallelogram; both share the flat foot, so the right arm
// folds over the left one there.
QPainterPath arm(double topLeftX, double topRightX)
{
    QPainterPath path;
    path.addPolygon(QPolygonF({QPointF(topLeftX, kTop), QPointF(topRightX, kTop), QPointF(kCx + kFootHalf, kBottom),
                               QPointF(kCx - kFootHalf, kBottom)}));
    path.closeSubpath();
    return path;
}
QPainterPath leftArm()
{
    return arm(kCx - kSpread, kCx - kSpread + kArmW);
}
QPainterPath rightArm()
{
    return arm(kCx + kSpread - kArmW, kCx + kSpread);
}

QLinearGradient leftArmGradient()
{
    // Teal at the top flowing into blue at the foot.
    QLinearGradient g(kCx - kSpread, kTop, kCx, kBottom);
    g.setColorAt(0.0, kTeal);
    g.setColorAt(1.0, kBlue);
    return g;
}
QLinearGradient rightArmGradient()
{
    // Violet at the top, blue-violet at the foot.
    QLinearGradient g(kCx + kSpread, kTop, kCx, kBottom);
    g.setColorAt(0.0, kViolet);
    g.setColorAt(1.0, kDeepViolet);
    return g;
}

// The dot is lit from the top left.
QRadialGradient dotGradient(const QPointF &centre, double radius)
{
    QRadialGradient g(centre + QPointF(-8, -9) * (radius / kDotR), radius * 1.5);
    g.setColorAt(0.0, QColor(255, 255, 255));
    g.setColorAt(0.3, QColor(0x9C, 0xFA, 0xF4));
    g.setColorAt(0.75, QColor(0x22, 0xD2, 0xEE));
    g.setColorAt(1.0, QColor(0x12, 0x9E, 0xE6));
    return g;
}

// The arms' corners are rounded by a round-joined pen as wide as the corner.
void fillRounded(QPainter &p, const QPainterPath &path, const QBrush &brush, double widen = 0)
{
    p.setPen(QPen(brush, 2 * (kCornerR + widen), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(brush);
    p.drawPath(path);
}

QTransform viewTransform(const QRectF &view, const QSize &size)
{
    QTransform t;
    t.scale(size.width() / view.width(), size.height() / view.height());
    t.translate(-view.x(), -view.y());
    return t;
}

void begin(QPainter &p, QImage &target, const QTransform &t)
{
    p.begin(&target);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(t);
}

// Layers are drawn in pixels, on top of what the painter holds.
void drawLayer(QPainter &p, const QImage &layer)
{
    p.save();
    p.resetTransform();
    p.drawImage(0, 0, layer);
    p.restore();
}

}  // namespace

QImage drawLogo(const QRectF &view, const QSize &size)
{
    const QTransform t = viewTransform(view, size);
    const double scale = size.width() / view.width();
    auto pixels = [scale](double units) { return int(std::lround(units * scale)); };
    QImage img = emptyLayer(size);
    QPainter p;
    begin(p, img, t);
    const QPainterPath left = leftArm();
    const QPainterPath right = rightArm();
    fillRounded(p, left, leftArmGradient());

    // Shadow of the right arm falling on the left one, clipped to the left arm.
    {
        QImage shadow = emptyLayer(size);
        QPainter sp;
        begin(sp, shadow, t);
        fillRounded(sp, right.translated(-5, 0), QColor(0, 0, 0, 150));
        sp.end();
        blur(shadow, pixels(9));
        QImage clipped = emptyLayer(size);
        QPainter cp;
        begin(cp, clipped, t);
        fillRounded(cp, left, Qt::white);
        cp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        drawLayer(cp, shadow);
        cp.end();
        drawLayer(p, clipped);
    }

    fillRounded(p, right, rightArmGradient());

    // A gentle sheen along the outer edge of each arm gives it some volume.
    {
        QLinearGradient sheen(0, kTop, 0, kBottom);
        sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
        sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
        p.save();
        p.setClipPath(left.united(right));
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        p.drawRect(view);
        p.restore();
    }

    // The lit dot: the "LED" the plugin drives, sitting in the notch.
    {
        QImage glow = emptyLayer(size);
        QPainter gp;
        begin(gp, glow, t);
        gp.setPen(Qt::NoPen);
        gp.setBrush(QColor(0x30, 0xE0, 0xFF, 150));
        gp.drawEllipse(kDot, kDotR + 6, kDotR + 6);
        gp.end();
        blur(glow, pixels(14));
        drawLayer(p, glow);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(dotGradient(kDot, kDotR));
    p.drawEllipse(kDot, kDotR, kDotR);

    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QImage drawSmallMark(int pixels)
{
    const QSize size(pixels, pixels);
    const QTransform t = viewTransform(kMarkSquare, size);
    const double unitsPerPixel = kMarkSquare.width() / pixels;
    QImage img = emptyLayer(size);
    QPainter p;
    begin(p, img, t);
    fillRounded(p, leftArm(), leftArmGradient());
    // About a pixel of nothing around the fold and the dot keeps the shapes apart.
    auto clearAround = [&p, unitsPerPixel](auto draw) {
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        draw(QBrush(Qt::black), unitsPerPixel);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    };
    clearAround([&p](const QBrush &brush, double widen) { fillRounded(p, rightArm(), brush, widen); });
    fillRounded(p, rightArm(), rightArmGradient());
    const double dotR = kDotR * 1.3;
    const QPointF dot(kCx, kDot.y() - 4);
    auto drawDot = [&p, dot, dotR](const QBrush &brush, double widen) {
        p.setPen(Qt::NoPen);
        p.setBrush(brush);
        p.drawEllipse(dot, dotR + widen, dotR + widen);
    };
    clearAround(drawDot);
    // Its white highlight would wash out on a light panel: lit, but deeper.
    QRadialGradient lit(dot + QPointF(-0.3, -0.3) * dotR, dotR * 1.6);
    lit.setColorAt(0.0, QColor(0x9C, 0xFA, 0xF4));
    lit.setColorAt(0.5, QColor(0x22, 0xD2, 0xEE));
    lit.setColorAt(1.0, QColor(0x12, 0x9E, 0xE6));
    drawDot(lit, 0);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}
