#include "common/LatencyProbe.h"

#ifdef FENNWICK_LATENCY_PROBE

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace talvex::LatencyProbe {
namespace {

// One bucket per microsecond up to 100 ms; slower frames share the last one.
constexpr size_t kBuckets = 100001;

class Histogram {
public:
    void Add(uint64_t microseconds) {
        m_counts[microseconds < kBuckets ? microseconds : kBuckets - 1].fetch_add(1, std::memory_order_relaxed);
        uint64_t seen = m_max.load(std::memory_order_relaxed);
        while (microseconds > seen && !m_max.compare_exchange_weak(seen, microseconds, std::memory_order_relaxed)) {
        }
    }

    // Runs when the library is unloaded (or the process ends).
    ~Histogram() {
        const char* path = std::getenv("FENNWICK_LATENCY_FILE");
        if (!path)
            return;
        uint64_t frames = 0;
        for (const auto& count : m_counts)
            frames += count.load();
        if (std::FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "latency_frames=%llu p50_us=%llu p99_us=%llu max_us=%llu\n",
                         static_cast<unsigned long long>(frames), Percentile(frames, 50),
                         Percentile(frames, 99), static_cast<unsigned long long>(m_max.load()));
            std::fclose(file);
        }
    }

private:
    unsigned long long Percentile(uint64_t frames, uint64_t percent) const {
        const uint64_t rank = (frames * percent + 99) / 100;
        uint64_t seen = 0;
        for (size_t bucket = 0; bucket < kBuckets; ++bucket) {
            seen += m_counts[bucket].load();
            if (seen >= rank && seen > 0)
                return bucket;
        }
        return 0;
    }

    std::array<std::atomic<uint32_t>, kBuckets> m_counts{};
    std::atomic<uint64_t> m_max{0};
};

Histogram g_histogram;

} // namespace

uint64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

void RecordFrame(uint64_t arrivalNs) {
    if (arrivalNs == 0)
        return;
    const uint64_t now = NowNs();
    g_histogram.Add(now > arrivalNs ? (now - arrivalNs) / 1000 : 0);
}

} // namespace talvex::LatencyProbe

#endif
