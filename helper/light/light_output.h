// Where the helper's light commands go: the device service reached through
// window messages, or a lighting server over TCP. The control window and
// the settings window are given the helper's one output when they are made.
#pragma once

#include "light_command.h"

class LightOutput
{
public:
    virtual ~LightOutput() = default;
    // Shows the command; true when it reached a device. The command is kept
    // either way, and shown again at once when a device comes (back).
    virtual bool show(const protocol::LightCommand &command) = 0;
    // Where the shutdown profile shows (the last client has ended, the
    // lights are toggled off, the helper is asked to end): an output that
    // can give the devices back to the lighting their owner set up does
    // that instead; any other shows the profile.
    virtual bool showShutdown(const protocol::LightCommand &shutdownProfile) { return show(shutdownProfile); }
    // The settings were reloaded: a device not found yet is looked for at
    // once, and often again for a while.
    virtual void searchAgain() {}
    // The light is another helper's now: a device that comes back is not
    // shown our last command.
    virtual void forgetLastCommand() = 0;
};
