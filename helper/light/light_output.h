// Where the helper's light commands go: the device service reached through
// window messages, or a lighting server over TCP. The control window and
// the settings window only ever call show().
#pragma once

#include "light_command.h"

class LightOutput
{
public:
    virtual ~LightOutput() = default;
    // Shows the command; true when it reached a device. The command is kept
    // either way, and shown again at once when a device comes (back).
    virtual bool show(const protocol::LightCommand &command) = 0;
    // The light is another helper's now: a device that comes back is not
    // shown our last command.
    virtual void forgetLastCommand() = 0;
};

// The helper's one output; null in a bare settings form with nothing to
// preview on.
extern LightOutput *g_lightOutput;
