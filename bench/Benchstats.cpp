#include "Benchstats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double rank(const std::vector<double>& sorted, double fraction)
{
    const auto at =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size() - 1, at > 0 ? at - 1 : 0)];
}

} // namespace

Spread spreadOf(std::vector<double> samples)
{
    Spread spread;
    if (samples.empty()) {
        return spread;
    }
    std::sort(samples.begin(), samples.end());
    spread.count = static_cast<int>(samples.size());
    spread.p50 = rank(samples, 0.50);
    spread.p90 = rank(samples, 0.90);
    spread.p99 = rank(samples, 0.99);
    spread.max = samples.back();
    return spread;
}

double loadAverage()
{
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(file);
    }
    return load;
}
