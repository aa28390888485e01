// The whole benchmark: the real chain (this process as the voice client with
// the plugin loaded, the helper, the stand-in device service) beside plain
// baselines, every figure measured in the same run.
#pragma once

#include <string>

namespace bench {

struct BenchOptions {
    std::string plugin;
    std::string helper;
    std::string lightservice;
    std::string openrgbServer;
    std::string remoteApps;      // the stand-in Remote Apps server
    std::string relay;           // bench_relay
    std::string minimalWidgets;  // bench_minimal_widgets
    int events = 10000;
    int burst = 10000;
    int idleSeconds = 10;
    // How long to wait, at most, for the helper in auto mode to slow its
    // search for a device service to the longest interval before its still
    // colour is measured; 0 measures it without waiting.
    int searchWaitSeconds = 60;
    std::string json;  // where the JSON goes
    std::string log;   // where the processes' own output goes
    std::string commit;
};

// Runs it, prints the table; returns the exit status: 0 when every figure
// could be measured, whether or not it met its target; 1 when one could not;
// 3 when a command was lost or arrived out of order. The Remote Apps figure
// alone is reported as not measured, with 0, when the helper never answers
// the stand-in server at all (a helper built without that client).
int runBench(const BenchOptions &options);

}  // namespace bench
