// The application mark: a folded-ribbon "V" with a lit dot in its notch.
#pragma once

#include <QImage>
#include <QRectF>

// The logo's own units: the settings window shows all of them, 303 x 300 px.
inline const QRectF kLogoArea(0, 0, 303, 300);
// The square just around the mark, which icons fill.
inline const QRectF kMarkSquare(18.5, 25, 266, 266);

// The part `view` of the logo, drawn into a picture of `size` pixels.
QImage drawLogo(const QRectF &view, const QSize &size);
// The mark for the smallest icons, where the shading blurs into mush: the
// two arms flat, a clear gap where one folds over the other, a bigger dot.
QImage drawSmallMark(int pixels);
