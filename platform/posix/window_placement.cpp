#include "window_placement.h"

#include <QWidget>

namespace platform {

void placeTopMost(QWidget *window, int x, int y)
{
    // Changing the flags hides a shown window; show it again in place.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->move(x, y);
    window->resize(0, 0);
    window->show();
}

}  // namespace platform
