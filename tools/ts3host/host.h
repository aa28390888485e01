// ts3host: loads the plugin library as the voice client does and plays a
// voice-chat session from a script, with no client and no Qt event loop.
#pragma once

#include "session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ts3host {

struct Options {
    std::string plugin;
    std::string helper;
    std::string pluginsDir;  // empty: a temporary folder
    std::string configDir;   // empty: a temporary folder
    std::string script;      // empty: interactive; "-": standard input
    std::uint16_t clientId = 1;
    bool timings = false;
    std::string timingsFile;  // the timings go here instead of to standard error
    bool keepLoaded = false;
    bool help = false;
};

// The arguments after the program name. False with a message on error.
bool parseArguments(const std::vector<std::string> &arguments, Options *options, std::string *error);

// The whole program; returns its exit status.
int run(int argc, char **argv);

}  // namespace ts3host
