// Capability query figures, through libfennwick.so's exports as the host's
// configuration tools call them, against an in-process simulated camera of
// every catalogue model:
//   - requests: how many HTTP requests one query sends (camsim's request log);
//   - wall time: from StartCapabilityQuery to the completion callback;
// first on a camera that answers at once, then on one that waits --delay-ms
// before every answer (a camera on a slow link, or busy);
//   - cancel: on the slow camera, TerminateCapabilityQuery two and a half
//     answers into the query, and how long the query takes to end after it.
// Usage: query_bench [--runs 5] [--delay-ms 100]
#include "BenchFigures.h"
#include "DriverLibrary.h"
#include "QueryFindings.h"
#include "QueryOutcome.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::Ms;

struct QueryRun {
    bool succeeded = false;
    uint32_t code = 0;
    size_t requests = 0;
    double ms = 0;
};

// cancelAfterMs 0: the query runs to its end; otherwise the time is from the cancel to the end.
QueryRun RunQuery(const fennwick_host::CapabilityQueryExports& query, camsim::Camera& camera,
                  uint32_t cancelAfterMs = 0) {
    fennwick_host::QueryFindings findings;
    fennwick_host::QueryOutcome outcome;
    sigset_t noSignals;
    sigemptyset(&noSignals);
    camera.Http().ClearRequests();
    QueryRun run;
    query.init(&outcome, false);
    auto start = Clock::now();
    if (query.start("127.0.0.1", camera.Http().Port(), "admin", "admin", &findings)) {
        if (cancelAfterMs != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfterMs));
            start = Clock::now();
            query.terminate();
        }
        outcome.Wait(noSignals, [] {});
    }
    run.ms = Ms(Clock::now() - start);
    query.uninit();
    const fennwick_host::QueryEnd end = outcome.Current();
    run.succeeded = end.succeeded;
    run.code = end.code;
    run.requests = camera.Http().Requests().size();
    return run;
}

// One line per model: requests of one query, and the median and worst wall time of the runs.
void MeasureModel(const fennwick_host::CapabilityQueryExports& query, const camsim::ModelSpec& model, uint32_t runs,
                  uint32_t delayMs, uint32_t cancelAfterMs = 0) {
    auto camera = bench::StartCamera("query_bench", model.name.c_str());
    if (!camera)
        return;
    camsim::HttpFaults faults;
    faults.delayMs = delayMs;
    camera->Http().SetFaults(faults);
    std::vector<double> ms;
    QueryRun last;
    for (uint32_t run = 0; run < runs; ++run) {
        last = RunQuery(query, *camera, cancelAfterMs);
        ms.push_back(last.ms);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-10s gen %u  delay %4u ms  %s%-9s requests %3zu  wall p50 %8.1f ms  max %8.1f ms\n",
                model.name.c_str(), model.generation, delayMs, cancelAfterMs ? "cancelled " : "",
                last.succeeded ? "ok" : ("code " + std::to_string(last.code)).c_str(), last.requests, ms[ms.size() / 2],
                ms.back());
}

} // namespace

int main(int argc, char** argv) {
    uint32_t runs = 5;
    uint32_t delayMs = 100;
    if (!bench::ParseCounts(argc, argv, {{"--runs", &runs}, {"--delay-ms", &delayMs}})) {
        std::fprintf(stderr, "usage: query_bench [--runs N] [--delay-ms MS]\n");
        return 2;
    }
    std::string error;
    auto library = fennwick_host::DriverLibrary::Load(FENNWICK_DRIVER_LIBRARY, error);
    if (!library || !library->CapabilityQuery()) {
        std::fprintf(stderr, "query_bench: %s\n", library ? "the library offers no capability query" : error.c_str());
        return 1;
    }
    for (uint32_t delay : {0u, delayMs})
        for (const camsim::ModelSpec& model : camsim::Catalogue())
            MeasureModel(*library->CapabilityQuery(), model, runs, delay);
    for (const camsim::ModelSpec& model : camsim::Catalogue())
        MeasureModel(*library->CapabilityQuery(), model, runs, delayMs, delayMs * 5 / 2);
    return 0;
}
