// Timing of round trips across processes for the benchmarks: each iteration
// runs one trip, timed by hand (UseManualTime), and the samples give the
// median and the 99th percentile.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <time.h>

namespace bench {

inline double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Runs `trip` once per iteration, each timed; a trip that answers false
// ends the run with `failure`. The samples in seconds.
inline std::vector<double> timeTrips(benchmark::State& state, const std::function<bool()>& trip, const char* failure) {
    std::vector<double> samples;
    for (auto _ : state) {
        double t0 = now();
        if (!trip()) {
            state.SkipWithError(failure);
            break;
        }
        double t = now() - t0;
        samples.push_back(t);
        state.SetIterationTime(t);
    }
    return samples;
}

}  // namespace bench
