// Draws the two pictures of the settings window into PICTURES:
//   logo.png          303 x 300, RGBA  - the application mark
//   vossikZellFx.png  1050 x 447, RGB  - the ZELL FX devices with lit zones
// and the helper's icons, made from the mark, into ICONS:
//   vossik-N.png      N x N, RGBA      - for trays, N = 16, 20, 24, 32, 40, 48
//   vossik.ico        16, 24, 32, 48 and 256 px - the Windows program's icon
// Usage: draw_artwork PICTURES ICONS
// The files are committed; from the source folder, after configuring with
// -DVOSSIK_BUILD_ARTWORK=ON and building, they are made again by:
//   build/tools/artwork/draw_artwork helper/settings/images helper/icons

#include "icon_file.h"
#include "layers.h"
#include "logo.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// ---------------------------------------------------------------------------
// Shared helpers

QColor mix(const QColor &a, const QColor &b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(QColor c, double a)
{
    c.setAlphaF(std::clamp(a, 0.0, 1.0));
    return c;
}

// The lighting wave that runs across every device, left to right.
const QVector<QColor> &waveStops()
{
    static const QVector<QColor> stops = {
        QColor(0x00, 0xE8, 0xD0),  // teal
        QColor(0x1F, 0x8C, 0xFF),  // blue
        QColor(0x7A, 0x3C, 0xFF),  // violet
        QColor(0xE8, 0x2E, 0xC8),  // magenta
        QColor(0xFF, 0x7A, 0x2A),  // amber
    };
    return stops;
}

QColor waveColor(double t)
{
    const auto &s = waveStops();
    t = std::clamp(t, 0.0, 1.0) * (s.size() - 1);
    const int i = std::min(int(t), s.size() - 2);
    return mix(s[i], s[i + 1], t - i);
}

QLinearGradient waveGradient(double x0, double x1, double alpha = 1.0)
{
    QLinearGradient g(x0, 0, x1, 0);
    const int n = 16;
    for (int i = 0; i <= n; ++i)
        g.setColorAt(double(i) / n, withAlpha(waveColor(double(i) / n), alpha));
    return g;
}

void addLight(QImage &base, const QImage &light, double strength = 1.0)
{
    QPainter p(&base);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    p.setOpacity(std::min(1.0, strength));
    p.drawImage(0, 0, light);
    if (strength > 1.0) {
        p.setOpacity(strength - 1.0);
        p.drawImage(0, 0, light);
    }
}

// A lit shape: its blurred bloom, then the shape itself, added as light.
void addGlowing(QImage &base, const QImage &shape, int bloomRadius, double bloomStrength)
{
    QImage bloom = shape;
    blur(bloom, bloomRadius);
    addLight(base, bloom, bloomStrength);
    addLight(base, shape, 1.0);
}

QFont sansFont(double pixelSize, int weight)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// ---------------------------------------------------------------------------
// Product picture: keyboard and mouse on a lit desk mat, seen from the front.

struct Key {
    QRectF rect;  // flat desk units
    QString legend;
};

// Flat desk coordinates: the mat is 1600 x 760 units.
const QRectF kMat(0, 0, 1600, 760);
const double kU = 56;              // one key unit
const QPointF kBoardPos(96, 190);  // top-left of the keyboard case
const double kCaseMargin = 22;

QVector<Key> keyboardKeys()
{
    QVector<Key> keys;
    const double x0 = kBoardPos.x() + kCaseMargin;
    const double y0 = kBoardPos.y() + kCaseMargin;
    auto row = [&](double y, double x, const QVector<QPair<double, QString>> &items) {
        for (const auto &it : items) {
            if (!it.second.isNull())
                keys.push_back({QRectF(x, y, it.first * kU, kU), it.second});
            x += it.first * kU;
        }
    };
    auto singles = [](const QString &chars) {
        QVector<QPair<double, QString>> v;
        for (QChar c : chars)
            v.push_back({1.0, QString(c)});
        return v;
    };
    auto cat = [](QVector<QPair<double, QString>> a, const QVector<QPair<double, QString>> &b) {
        a += b;
        return a;
    };
    const QString gap;  // null string: leaves a hole

    // Function row, then a small gap.
    row(y0, x0,
        {{1, "Esc"},
         {1, gap},
         {1, "F1"},
         {1, "F2"},
         {1, "F3"},
         {1, "F4"},
         {0.5, gap},
         {1, "F5"},
         {1, "F6"},
         {1, "F7"},
         {1, "F8"},
         {0.5, gap},
         {1, "F9"},
         {1, "F10"},
         {1, "F11"},
         {1, "F12"}});
    const double y1 = y0 + 1.3 * kU;
    row(y1, x0, cat(singles("~1234567890-="), {{2, "\u232B"}}));
    row(y1 + kU, x0, cat(cat({{1.5, "Tab"}}, singles("QWERTYUIOP[]")), {{1.5, "\\"}}));
    row(y1 + 2 * kU, x0, cat(cat({{1.75, "Caps"}}, singles("ASDFGHJKL;'")), {{2.25, "Enter"}}));
    row(y1 + 3 * kU, x0, cat(cat({{2.25, "Shift"}}, singles("ZXCVBNM,./")), {{2.75, "Shift"}}));
    row(y1 + 4 * kU, x0,
        {{1.25, "Ctrl"},
         {1.25, "\u25C6"},
         {1.25, "Alt"},
         {6.25, " "},
         {1.25, "Alt"},
         {1.25, "Fn"},
         {1.25, "\u2261"},
         {1.25, "Ctrl"}});

    // Navigation cluster.
    const double xn = x0 + 15.25 * kU;
    row(y0, xn, {{1, "Prt"}, {1, "Scr"}, {1, "Pse"}});
    row(y1, xn, {{1, "Ins"}, {1, "Hm"}, {1, "PU"}});
    row(y1 + kU, xn, {{1, "Del"}, {1, "End"}, {1, "PD"}});
    row(y1 + 3 * kU, xn, {{1, gap}, {1, "\u2191"}});
    row(y1 + 4 * kU, xn, {{1, "\u2190"}, {1, "\u2193"}, {1, "\u2192"}});
    return keys;
}

QRectF keyboardCase()
{
    const double w = 18.25 * kU + 2 * kCaseMargin;
    const double h = 6.3 * kU + 2 * kCaseMargin;
    return QRectF(kBoardPos, QSizeF(w, h));
}

QPainterPath mouseShape()
{
    // An asymmetric, egg-like body seen from above; the front is the top.
    const QPointF c(1362, 425);
    const double w = 172, h = 284;
    QPainterPath p;
    p.moveTo(c.x(), c.y() - h / 2);
    p.cubicTo(c.x() + w * 0.42, c.y() - h / 2, c.x() + w * 0.56, c.y() - h * 0.12, c.x() + w * 0.5, c.y() + h * 0.12);
    p.cubicTo(c.x() + w * 0.46, c.y() + h * 0.36, c.x() + w * 0.3, c.y() + h / 2, c.x(), c.y() + h / 2);
    p.cubicTo(c.x() - w * 0.3, c.y() + h / 2, c.x() - w * 0.48, c.y() + h * 0.36, c.x() - w * 0.5, c.y() + h * 0.1);
    p.cubicTo(c.x() - w * 0.54, c.y() - h * 0.14, c.x() - w * 0.42, c.y() - h / 2, c.x(), c.y() - h / 2);
    p.closeSubpath();
    return p;
}

QImage drawProduct()
{
    const QSize size(1050, 447);
    QImage img(size, QImage::Format_ARGB32_Premultiplied);

    // Flat desk -> screen, a true perspective so the back recedes.
    QPolygonF screenQuad({QPointF(205, 78), QPointF(845, 78), QPointF(1000, 418), QPointF(50, 418)});
    QTransform persp;
    // QPolygonF(QRectF) closes the ring with a fifth point; quadToQuad wants four.
    const QPolygonF flatQuad({kMat.topLeft(), kMat.topRight(), kMat.bottomRight(), kMat.bottomLeft()});
    if (!QTransform::quadToQuad(flatQuad, screenQuad, persp))
        std::fprintf(stderr, "perspective setup failed\n");

    auto begin = [&](QPainter &p, QImage &target, bool flat) {
        p.begin(&target);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setRenderHint(QPainter::TextAntialiasing);
        if (flat)
            p.setTransform(persp);
    };

    // --- Backdrop: near black, a faint cool spotlight behind the devices.
    {
        QPainter p;
        begin(p, img, false);
        QLinearGradient bg(0, 0, 0, size.height());
        bg.setColorAt(0, QColor(0x0B, 0x0C, 0x12));
        bg.setColorAt(1, QColor(0x05, 0x06, 0x09));
        p.fillRect(img.rect(), bg);
        QRadialGradient spot(QPointF(size.width() * 0.5, size.height() * 0.42), size.width() * 0.55);
        spot.setColorAt(0, QColor(0x20, 0x24, 0x38, 120));
        spot.setColorAt(1, QColor(0x20, 0x24, 0x38, 0));
        p.fillRect(img.rect(), spot);
    }

    const QRectF matRect = kMat.adjusted(8, 8, -8, -8);
    QPainterPath mat;
    mat.addRoundedRect(matRect, 34, 34);
    const QRectF caseRect = keyboardCase();
    QPainterPath casePath;
    casePath.addRoundedRect(caseRect, 18, 18);
    const QPainterPath mouse = mouseShape();
    const QVector<Key> keys = keyboardKeys();
    const double waveX0 = kMat.left() + 60, waveX1 = kMat.right() - 60;

    // --- Light the mat throws onto the desk around it.
    {
        QImage spill = emptyLayer(size);
        QPainter p;
        begin(p, spill, true);
        p.setPen(QPen(QBrush(waveGradient(waveX0, waveX1)), 60));
        p.setBrush(Qt::NoBrush);
        p.drawPath(mat);
        p.end();
        blur(spill, 38);
        addLight(img, spill, 0.55);
    }

    // --- The mat: dark cloth with a lit rim.
    {
        QPainter p;
        begin(p, img, true);
        QLinearGradient cloth(0, kMat.top(), 0, kMat.bottom());
        cloth.setColorAt(0, QColor(0x10, 0x11, 0x18));
        cloth.setColorAt(1, QColor(0x17, 0x19, 0x22));
        p.setPen(Qt::NoPen);
        p.setBrush(cloth);
        p.drawPath(mat);
        // Faint weave so the cloth does not read as flat plastic.
        p.setClipPath(mat);
        p.setPen(QPen(QColor(255, 255, 255, 6), 1.2));
        for (double x = -kMat.height(); x < kMat.width(); x += 9)
            p.drawLine(QPointF(x, kMat.bottom()), QPointF(x + kMat.height(), kMat.top()));
        p.setClipping(false);
        // Brand print on the cloth, front left.
        p.setPen(QColor(255, 255, 255, 28));
        QFont f = sansFont(30, QFont::Bold);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 9);
        p.setFont(f);
        p.drawText(QPointF(70, kMat.bottom() - 58), QStringLiteral("ZELL FX"));
        p.end();
    }
    {
        // Rim: a sharp bright line plus a tight bloom.
        QImage rim = emptyLayer(size);
        QPainter p;
        begin(p, rim, true);
        p.setPen(QPen(QBrush(waveGradient(waveX0, waveX1)), 7));
        p.setBrush(Qt::NoBrush);
        p.drawPath(mat);
        p.end();
        addGlowing(img, rim, 9, 1.6);
    }

    // --- Shadows of the devices on the mat.
    {
        QImage shade = emptyLayer(size);
        QPainter p;
        begin(p, shade, true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 220));
        p.drawPath(casePath.translated(0, 22));
        p.drawPath(mouse.translated(0, 18));
        p.end();
        blur(shade, 16);
        QPainter p2(&img);
        p2.drawImage(0, 0, shade);
    }

    // --- Underglow of the keyboard and mouse, spilling onto the mat.
    {
        QImage under = emptyLayer(size);
        QPainter p;
        begin(p, under, true);
        p.setPen(QPen(QBrush(waveGradient(waveX0, waveX1)), 26));
        p.setBrush(Qt::NoBrush);
        p.drawPath(casePath.translated(0, 10));
        p.drawPath(mouse.translated(0, 8));
        p.end();
        blur(under, 22);
        addLight(img, under, 1.1);
    }

    // --- Keyboard case: the front face first (it shows below the top deck).
    {
        QPainter p;
        begin(p, img, false);
        const QPolygonF topFace = persp.map(
            QPolygonF({caseRect.topLeft(), caseRect.topRight(), caseRect.bottomRight(), caseRect.bottomLeft()}));
        // Front face: the front edge extruded downwards on screen.
        QPainterPath front = persp.map(casePath);
        QPainterPath extruded;
        for (int i = 0; i <= 14; ++i)
            extruded = extruded.united(front.translated(0, i));
        QLinearGradient fg(0, topFace.at(2).y(), 0, topFace.at(2).y() + 14);
        fg.setColorAt(0, QColor(0x1C, 0x1E, 0x26));
        fg.setColorAt(1, QColor(0x0C, 0x0D, 0x12));
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        p.drawPath(extruded);
        p.end();

        // LED strip along the front face.
        QImage strip = emptyLayer(size);
        QPainter sp;
        begin(sp, strip, false);
        const QPointF fl = persp.map(QPointF(caseRect.left() + 22, caseRect.bottom()));
        const QPointF fr = persp.map(QPointF(caseRect.right() - 22, caseRect.bottom()));
        QLinearGradient sg(fl.x(), 0, fr.x(), 0);
        // Sample the wave at the strip's own flat x so it matches the keys above.
        for (int i = 0; i <= 16; ++i) {
            const double t = i / 16.0;
            const double flatX = caseRect.left() + 22 + t * (caseRect.width() - 44);
            sg.setColorAt(t, waveColor((flatX - waveX0) / (waveX1 - waveX0)));
        }
        sp.setPen(QPen(QBrush(sg), 3.2, Qt::SolidLine, Qt::RoundCap));
        sp.drawLine(fl + QPointF(0, 8), fr + QPointF(0, 8));
        sp.end();
        addGlowing(img, strip, 7, 1.8);
    }

    // --- Keyboard deck.
    {
        QPainter p;
        begin(p, img, true);
        QLinearGradient deck(0, caseRect.top(), 0, caseRect.bottom());
        deck.setColorAt(0, QColor(0x22, 0x24, 0x2E));
        deck.setColorAt(1, QColor(0x16, 0x18, 0x20));
        p.setPen(QPen(QColor(0x3A, 0x3D, 0x4A), 2));
        p.setBrush(deck);
        p.drawPath(casePath);

        // Lit plate between the keys.
        QPainterPath plate;
        for (const Key &k : keys)
            plate.addRoundedRect(k.rect.adjusted(-2, -2, 2, 2), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(waveGradient(waveX0, waveX1, 0.55));
        p.drawPath(plate.simplified());
        p.end();
    }

    // Key light bleeding up around each cap.
    {
        QImage bleed = emptyLayer(size);
        QPainter p;
        begin(p, bleed, true);
        p.setBrush(Qt::NoBrush);
        for (const Key &k : keys) {
            const QColor c = waveColor((k.rect.center().x() - waveX0) / (waveX1 - waveX0));
            p.setPen(QPen(c, 7));
            p.drawRoundedRect(k.rect.adjusted(3, 3, -3, -3), 8, 8);
        }
        p.end();
        blur(bleed, 5);
        addLight(img, bleed, 1.2);
    }

    // Key caps.
    {
        QPainter p;
        begin(p, img, true);
        for (const Key &k : keys) {
            const QColor c = waveColor((k.rect.center().x() - waveX0) / (waveX1 - waveX0));
            const QRectF base = k.rect.adjusted(3, 3, -3, -3);
            // Skirt: the sides of the cap, darker toward the front.
            QLinearGradient skirt(0, base.top(), 0, base.bottom());
            skirt.setColorAt(0, QColor(0x26, 0x28, 0x33));
            skirt.setColorAt(1, QColor(0x0F, 0x10, 0x16));
            p.setPen(Qt::NoPen);
            p.setBrush(skirt);
            p.drawRoundedRect(base, 8, 8);
            // Top face sits toward the back, so its front skirt shows.
            const QRectF topRect = base.adjusted(5, 3, -5, -12);
            QLinearGradient face(0, topRect.top(), 0, topRect.bottom());
            face.setColorAt(0, QColor(0x34, 0x37, 0x44));
            face.setColorAt(1, QColor(0x24, 0x26, 0x31));
            p.setBrush(face);
            p.drawRoundedRect(topRect, 6, 6);
            // Light catching the back edge of the face.
            p.setPen(QPen(mix(QColor(0x50, 0x54, 0x64), c, 0.25), 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawLine(topRect.topLeft() + QPointF(5, 0.6), topRect.topRight() + QPointF(-5, 0.6));

            // Shine-through legend in the zone colour.
            if (!k.legend.trimmed().isEmpty()) {
                const bool small = k.legend.size() > 1;
                p.setFont(sansFont(small ? 12 : 18, QFont::DemiBold));
                p.setPen(mix(c, Qt::white, 0.45));
                p.drawText(topRect.adjusted(small ? 7 : 0, 2, 0, 0),
                           small ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter, k.legend);
            }
        }
        p.end();
    }

    // Soft bloom on the legends and the plate so the board reads as lit.
    {
        QImage legendGlow = emptyLayer(size);
        QPainter p;
        begin(p, legendGlow, true);
        for (const Key &k : keys) {
            if (k.legend.trimmed().isEmpty())
                continue;
            const QColor c = waveColor((k.rect.center().x() - waveX0) / (waveX1 - waveX0));
            const QRectF topRect = k.rect.adjusted(8, 6, -8, -15);
            const bool small = k.legend.size() > 1;
            p.setFont(sansFont(small ? 12 : 18, QFont::Bold));
            p.setPen(c);
            p.drawText(topRect.adjusted(small ? 7 : 0, 2, 0, 0),
                       small ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter, k.legend);
        }
        p.end();
        blur(legendGlow, 3);
        addLight(img, legendGlow, 0.8);
    }

    // --- Mouse.
    {
        QPainter p;
        begin(p, img, true);
        const QRectF mb = mouse.boundingRect();
        QLinearGradient body(mb.left(), mb.top(), mb.right(), mb.bottom());
        body.setColorAt(0, QColor(0x2C, 0x2F, 0x3B));
        body.setColorAt(0.6, QColor(0x17, 0x19, 0x21));
        body.setColorAt(1, QColor(0x0E, 0x0F, 0x14));
        p.setPen(QPen(QColor(0x3A, 0x3D, 0x4A), 2));
        p.setBrush(body);
        p.drawPath(mouse);

        // Button split and the wheel.
        const QPointF c = mb.center();
        p.setPen(QPen(QColor(0x07, 0x08, 0x0C), 3));
        p.drawLine(QPointF(c.x(), mb.top() + 4), QPointF(c.x(), mb.top() + mb.height() * 0.36));
        QPainterPath split;
        split.moveTo(mb.left() + 14, mb.top() + mb.height() * 0.44);
        split.quadTo(c.x(), mb.top() + mb.height() * 0.30, mb.right() - 14, mb.top() + mb.height() * 0.44);
        p.setBrush(Qt::NoBrush);
        p.drawPath(split);
        // Sheen on the hump so the body reads as rounded.
        QRadialGradient sheen(QPointF(c.x() - mb.width() * 0.12, mb.top() + mb.height() * 0.5), mb.width() * 0.55);
        sheen.setColorAt(0, QColor(255, 255, 255, 34));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sheen);
        p.drawPath(mouse);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x0A, 0x0B, 0x10));
        p.drawRoundedRect(QRectF(c.x() - 10, mb.top() + 36, 20, 48), 9, 9);
        p.end();

        // Lit parts: the wheel, a strip around the tail and the palm mark.
        QImage lit = emptyLayer(size);
        QPainter lp;
        begin(lp, lit, true);
        const QColor wc = waveColor((c.x() - waveX0) / (waveX1 - waveX0));
        lp.setPen(Qt::NoPen);
        lp.setBrush(wc);
        lp.drawRoundedRect(QRectF(c.x() - 5, mb.top() + 42, 10, 36), 5, 5);
        QPainterPath tail;
        tail.arcMoveTo(mb.adjusted(8, 8, -8, -8), 200);
        tail.arcTo(mb.adjusted(8, 8, -8, -8), 200, 140);
        QLinearGradient tg(mb.left(), 0, mb.right(), 0);
        tg.setColorAt(0, waveColor((mb.left() - waveX0) / (waveX1 - waveX0)));
        tg.setColorAt(1, waveColor((mb.right() - waveX0) / (waveX1 - waveX0) + 0.05));
        lp.setPen(QPen(QBrush(tg), 5, Qt::SolidLine, Qt::RoundCap));
        lp.setBrush(Qt::NoBrush);
        lp.drawPath(tail);
        lp.setPen(Qt::NoPen);
        lp.setBrush(mix(wc, Qt::white, 0.3));
        lp.drawEllipse(QPointF(c.x(), mb.top() + mb.height() * 0.68), 9, 9);
        lp.end();
        addGlowing(img, lit, 8, 1.8);
    }

    // --- Wordmark, top left, outside the mat.
    {
        QPainter p;
        begin(p, img, false);
        QFont f = sansFont(30, QFont::Bold);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 6);
        p.setFont(f);
        const QPointF at(38, 58);
        p.setPen(QColor(0xEE, 0xF0, 0xF6));
        p.drawText(at, QStringLiteral("ZELL FX"));
        const double w = QFontMetricsF(f).horizontalAdvance(QStringLiteral("ZELL FX")) - 6;
        p.setPen(Qt::NoPen);
        p.setBrush(waveGradient(at.x(), at.x() + w));
        p.drawRoundedRect(QRectF(at.x(), at.y() + 10, w, 4), 2, 2);
        f = sansFont(13, QFont::Normal);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        p.setFont(f);
        p.setPen(QColor(0x9A, 0x9F, 0xB0));
        p.drawText(at + QPointF(0, 36), QStringLiteral("VOSSIK"));
        p.end();
    }

    return img.convertToFormat(QImage::Format_RGB888);
}

bool save(const QImage &img, const QString &path)
{
    if (!img.save(path, "PNG", 0)) {  // 0 = smallest file
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", qPrintable(path), img.width(), img.height());
    return true;
}

// ---------------------------------------------------------------------------
// Icons: the mark filling a square. Up to this size its shading only blurs
// the fold and the dot, so the simpler mark stands in.
const int kLargestSmallMark = 24;

QImage icon(const QImage &large, int pixels)
{
    if (pixels <= kLargestSmallMark)
        return drawSmallMark(pixels);
    return large.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool saveIcons(const QDir &dir)
{
    // Drawn large once and scaled down, each size is an average of the same picture.
    const QImage large = drawLogo(kMarkSquare, QSize(1024, 1024));
    for (int pixels : {16, 20, 24, 32, 40, 48}) {
        if (!save(icon(large, pixels), dir.filePath(QStringLiteral("vossik-%1.png").arg(pixels))))
            return false;
    }
    QVector<QImage> pictures;
    for (int pixels : {16, 24, 32, 48, 256})
        pictures << icon(large, pixels);
    const QByteArray ico = iconFile(pictures);
    QFile file(dir.filePath(QStringLiteral("vossik.ico")));
    if (ico.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    std::printf("wrote %s (%d sizes)\n", qPrintable(file.fileName()), int(pictures.size()));
    return true;
}

bool madeFolder(const QDir &dir)
{
    if (dir.exists() || dir.mkpath(QStringLiteral(".")))
        return true;
    std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    // Text needs a font database, which needs a platform plugin; offscreen
    // works without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <pictures folder> <icons folder>\n", argv[0]);
        return 2;
    }
    const QDir pictures(QString::fromLocal8Bit(argv[1]));
    const QDir icons(QString::fromLocal8Bit(argv[2]));
    if (!madeFolder(pictures) || !madeFolder(icons))
        return 1;

    const bool ok = save(drawLogo(kLogoArea, kLogoArea.size().toSize()), pictures.filePath(QStringLiteral("logo.png")))
                    && save(drawProduct(), pictures.filePath(QStringLiteral("vossikZellFx.png"))) && saveIcons(icons);
    return ok ? 0 : 1;
}
