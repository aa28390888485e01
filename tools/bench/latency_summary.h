// Percentiles of a set of measured durations.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

struct Summary {
    std::size_t count = 0;
    std::int64_t p50 = 0;  // nanoseconds
    std::int64_t p99 = 0;
    std::int64_t max = 0;
};

// Nearest-rank percentiles: each is a value that was measured, never an
// interpolation between two. An empty set gives all zeros.
Summary summarize(std::vector<std::int64_t> samples);

// The sample at nearest rank `percent` (0 < percent <= 100) of sorted samples.
std::int64_t nearestRank(const std::vector<std::int64_t> &sorted, double percent);

}  // namespace bench
