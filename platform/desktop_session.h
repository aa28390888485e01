// What a tool needs to know of the desktop session it runs in.
#pragma once

class QApplication;
class QCoreApplication;

namespace platform {

// Whether windows can be shown (a display to draw on, not the offscreen
// platform).
bool displayAvailable();

// The windows are laid out at fixed positions for the Windows dialog font
// (8 pt); elsewhere use a font of the same metrics, so no text is clipped.
void useDialogFont(QApplication *app);

// Whether this program was started with the hidden show state, as the
// plugin starts the helper: its first window is then to stay off the screen.
// Windows applies that state to the first window by itself, so there this is
// always false.
bool startedHidden();

// Leaves `app`'s event loop on SIGINT or SIGTERM, so everything is cleaned
// up as on a normal exit. Nothing to do on Windows.
void quitOnTerminationSignals(QCoreApplication *app);

}  // namespace platform
