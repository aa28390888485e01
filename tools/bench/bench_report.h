// The benchmark's results: one table for people, the same as JSON.
#pragma once

#include "latency_summary.h"

#include <optional>
#include <string>
#include <vector>

namespace bench {

// One measured figure beside its baseline. Durations are summaries of
// nanoseconds; other figures are single values in `unit`.
struct Figure {
    std::string name;
    std::string unit;  // "ns" for durations
    Summary measured;
    Summary baseline;
    bool distribution = true;  // false: only `max` of each summary holds the value
    std::string baselineName;
    std::string note;    // e.g. lost or reordered commands
    std::string target;  // empty: none
    std::optional<bool> targetMet;
};

struct Report {
    std::string cpu;
    int cores = 0;
    std::string commit;
    std::string date;
    std::string method;
    std::vector<Figure> figures;
};

// measured / baseline on p99 (or on the value); 0 when there is no baseline.
double ratioOf(const Figure &figure);
std::string formatTable(const Report &report);
std::string formatJson(const Report &report);

}  // namespace bench
