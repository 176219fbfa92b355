// Nearest-rank percentiles for the --timing report.
#include <algorithm>
#include <cmath>

#include "tools/replay/measure.h"

Percentiles SummariseNs(std::vector<int64_t> durations) {
    Percentiles result;
    if (durations.empty()) return result;
    std::sort(durations.begin(), durations.end());
    auto rank = [&](double fraction) {
        // Nearest rank: the smallest sample with at least `fraction` of all samples at or below.
        double position = std::ceil(fraction * static_cast<double>(durations.size()));
        size_t index = position < 1 ? 0 : static_cast<size_t>(position) - 1;
        return static_cast<double>(durations[std::min(index, durations.size() - 1)]) / 1e6;
    };
    result.medianMs = rank(0.5);
    result.p99Ms = rank(0.99);
    return result;
}
