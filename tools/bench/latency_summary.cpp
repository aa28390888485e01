#include "latency_summary.h"

#include <algorithm>
#include <cmath>

namespace bench {

std::int64_t nearestRank(const std::vector<std::int64_t> &sorted, double percent)
{
    if (sorted.empty())
        return 0;
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

Summary summarize(std::vector<std::int64_t> samples)
{
    Summary summary;
    if (samples.empty())
        return summary;
    std::sort(samples.begin(), samples.end());
    summary.count = samples.size();
    summary.p50 = nearestRank(samples, 50);
    summary.p99 = nearestRank(samples, 99);
    summary.max = samples.back();
    return summary;
}

}  // namespace bench
