#include "bench_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kUsage[] =
    "Usage: vossik_bench [--events N] [--burst N] [--idle SECONDS] [--search-wait SECONDS] [--json FILE]\n"
    "                    [--log FILE] [--commit ID] [--plugin LIBRARY]\n"
    "Measures the light chain (plugin, helper, device service) beside plain-socket baselines, and the helper\n"
    "on the stand-in lighting server and a standalone one following the stand-in Remote Apps server.\n"
    "--search-wait is the longest wait (60 s by default) for that helper's search for a device service to slow\n"
    "down before its wake-ups on a still colour are measured; 0 measures them at once.\n"
    "--plugin measures another build of the plugin library in the same chain.\n";

}  // namespace

int main(int argc, char *argv[])
{
    bench::BenchOptions options;
    options.plugin = VOSSIK_BENCH_PLUGIN;
    options.helper = VOSSIK_BENCH_HELPER;
    options.lightservice = VOSSIK_BENCH_LIGHTSERVICE;
    options.openrgbServer = VOSSIK_BENCH_OPENRGBSERVER;
    options.remoteApps = VOSSIK_BENCH_REMOTEAPPS;
    options.relay = VOSSIK_BENCH_RELAY;
    options.minimalWidgets = VOSSIK_BENCH_MINIMAL_WIDGETS;
    options.json = "bench.json";
    options.log = "bench-processes.log";
    options.commit = "unknown";
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--events") == 0 && hasValue)
            options.events = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--burst") == 0 && hasValue)
            options.burst = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--idle") == 0 && hasValue)
            options.idleSeconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--search-wait") == 0 && hasValue)
            options.searchWaitSeconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--json") == 0 && hasValue)
            options.json = argv[++i];
        else if (std::strcmp(argv[i], "--log") == 0 && hasValue)
            options.log = argv[++i];
        else if (std::strcmp(argv[i], "--commit") == 0 && hasValue)
            options.commit = argv[++i];
        else if (std::strcmp(argv[i], "--plugin") == 0 && hasValue)
            options.plugin = argv[++i];
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (options.events < 1 || options.burst < 1 || options.idleSeconds < 1 || options.searchWaitSeconds < 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return bench::runBench(options);
}
