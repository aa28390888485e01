// A Windows icon file (.ico) of several sizes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

// Each picture is kept PNG-compressed, which Windows reads since Vista;
// none may be larger than 256 px. Empty when a picture cannot be stored.
QByteArray iconFile(const QVector<QImage> &pictures);
