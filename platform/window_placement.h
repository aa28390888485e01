// Pinning a window above all others at a screen position.
#pragma once

class QWidget;

namespace platform {

// Keeps `window` (already shown) above other windows at (x, y) and asks for
// a size of 0 × 0, so it takes the smallest size its limits allow.
void placeTopMost(QWidget *window, int x, int y);

}  // namespace platform
