#include "window_placement.h"

#include <QWidget>

#include <windows.h>

namespace platform {

void placeTopMost(QWidget *window, int x, int y)
{
    // By our own handle: a search by title could pin another program's window.
    SetWindowPos(reinterpret_cast<HWND>(window->winId()), HWND_TOPMOST, x, y, 0, 0, SWP_SHOWWINDOW);
}

}  // namespace platform
