#include "layers.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Three box passes approximate a Gaussian closely enough for glows and
// shadows, and run in linear time whatever the radius.
void boxBlurPass(QImage &img, int r, bool horizontal)
{
    const int w = img.width(), h = img.height();
    const int lines = horizontal ? h : w;
    const int len = horizontal ? w : h;
    std::vector<quint32> buf(len);
    const int div = 2 * r + 1;
    for (int l = 0; l < lines; ++l) {
        auto px = [&](int i) -> QRgb & {
            return horizontal ? reinterpret_cast<QRgb *>(img.scanLine(l))[i]
                              : reinterpret_cast<QRgb *>(img.scanLine(i))[l];
        };
        for (int i = 0; i < len; ++i)
            buf[i] = px(i);
        long sa = 0, sr = 0, sg = 0, sb = 0;
        auto add = [&](int i, int sign) {
            const QRgb c = buf[std::clamp(i, 0, len - 1)];
            sa += sign * qAlpha(c);
            sr += sign * qRed(c);
            sg += sign * qGreen(c);
            sb += sign * qBlue(c);
        };
        for (int i = -r; i <= r; ++i)
            add(i, 1);
        for (int i = 0; i < len; ++i) {
            px(i) = qRgba(int(sr / div), int(sg / div), int(sb / div), int(sa / div));
            add(i + r + 1, 1);
            add(i - r, -1);
        }
    }
}

}  // namespace

void blur(QImage &img, int radius)
{
    if (radius < 1)
        return;
    const int r = std::max(1, int(std::lround(radius / 1.7)));
    for (int k = 0; k < 3; ++k) {
        boxBlurPass(img, r, true);
        boxBlurPass(img, r, false);
    }
}

QImage emptyLayer(const QSize &size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}
