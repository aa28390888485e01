#pragma once

// The helper program: checks its one argument, builds the control window,
// links up with the device service and runs until the control window closes.
int runHelper(int argc, char *argv[]);
