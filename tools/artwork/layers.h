// Transparent layers and their blur, for glows and shadows.
#pragma once

#include <QImage>

QImage emptyLayer(const QSize &size);
// About a Gaussian blur of the given radius, in place.
void blur(QImage &img, int radius);
