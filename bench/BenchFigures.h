// What the benchmarks against an in-process simulated camera share: their
// count options, the camera without authorisation, and latency lines.
#pragma once

#include "Camera.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// "--name N" pairs into the named counts; false for an unknown name, a name
// without a value or a count of 0.
inline bool ParseCounts(int argc, char** argv, std::initializer_list<std::pair<const char*, uint32_t*>> counts) {
    if (argc % 2 == 0)
        return false;
    for (int i = 1; i + 1 < argc; i += 2) {
        auto named = std::find_if(counts.begin(), counts.end(),
                                  [&](const auto& count) { return !std::strcmp(argv[i], count.first); });
        if (named == counts.end())
            return false;
        *named->second = uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
    }
    return std::all_of(counts.begin(), counts.end(), [](const auto& count) { return *count.second > 0; });
}

// One line: how many, the median, the 90th and 99th percentiles and the worst.
inline void PrintLatencies(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-40s nothing arrived\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%-40s n=%zu  p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms\n", what, ms.size(), at(0.5),
                at(0.9), at(0.99), ms.back());
}

// A started camera of the model on loopback without authorisation, or null
// after a line on standard error that names the program.
inline std::unique_ptr<camsim::Camera> StartCamera(const char* program, const char* model) {
    camsim::CameraOptions options;
    options.model = model;
    options.auth = camsim::AuthMode::None;
    auto camera = std::make_unique<camsim::Camera>(options);
    std::string error;
    if (camera->Start(error))
        return camera;
    std::fprintf(stderr, "%s: camsim did not start: %s\n", program, error.c_str());
    return nullptr;
}

} // namespace bench
