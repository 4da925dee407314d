// fennwick-host: the reference recording host. It loads libfennwick.so, feeds
// a driver object a device from a profile or the command line, shows the
// driver's log, records the camera's streams and watches and switches its
// digital inputs and outputs, steers its PTZ head, speaks through its
// loudspeaker, and asks the driver's capability query what a camera offers.
#include "HostCommands.h"
#include "HostOptions.h"

extern "C" {
#include <libavutil/log.h>
}

#include <malloc.h>

#include <cstdio>
#include <exception>

namespace {

// Blocks from this size up are mapped on their own and unmapped when freed.
constexpr int kMmapThresholdBytes = 128 * 1024;
// Heaps shared by the process's threads (glibc's default is eight per core).
constexpr int kArenaCount = 4;

// glibc raises its mmap threshold each time a mapped block is freed (up to
// 32 MiB), after which large frames are carved from the threads' arenas and
// stay there: in a 16-camera soak one 3 MiB key frame per camera kept some
// 70 MB for good. A fixed threshold keeps large frame buffers going back to
// the system, so memory stays flat for a recording that runs for weeks.
// Every arena a burst grows keeps a few hundred KiB of scattered pages after
// it; the driver allocates nothing per packet in the steady state, so a few
// shared arenas cost no lock contention and halve what a burst leaves behind.
void KeepHeapCompact() {
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);
    mallopt(M_ARENA_MAX, kArenaCount);
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace fennwick_host;
    KeepHeapCompact();
    try {
        if (AsksForHelp(argc, argv)) {
            std::fputs(HostUsage().c_str(), stdout);
            return kExitSuccess;
        }
        std::string error;
        auto options = ParseHostOptions(argc, argv, error);
        if (!options) {
            std::fprintf(stderr, "fennwick-host: %s\n%s", error.c_str(), HostUsage().c_str());
            return kExitUsage;
        }
        // libavformat's notices would mix with the driver's log; its errors reach us as results.
        av_log_set_level(AV_LOG_ERROR);
        if (options->command == "record")
            return RunRecordCommand(*options);
        if (options->command == "ptz")
            return RunPtzCommand(*options);
        if (options->command == "query")
            return RunQueryCommand(*options);
        if (options->command == "speak")
            return RunSpeakCommand(*options);
        return options->command == "io" ? RunIoCommand(*options) : RunOpenCommand(*options);
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "fennwick-host: %s\n", exception.what());
        return kExitFailure;
    }
}
