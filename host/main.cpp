// fennwick-host: the reference recording host. It loads libfennwick.so, feeds
// a driver object a device from a profile or the command line, shows the
// driver's log and records the camera's streams.
#include "HostCommands.h"
#include "HostOptions.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <exception>

int main(int argc, char* argv[]) {
    using namespace fennwick_host;
    try {
        std::string error;
        auto options = ParseHostOptions(argc, argv, error);
        if (!options) {
            std::fprintf(stderr, "fennwick-host: %s\n%s", error.c_str(), HostUsage().c_str());
            return kExitUsage;
        }
        // libavformat's notices would mix with the driver's log; its errors reach us as results.
        av_log_set_level(AV_LOG_ERROR);
        return options->command == "record" ? RunRecordCommand(*options) : RunOpenCommand(*options);
    } catch (const std::exception& exception) {
        std::fprintf(stderr, "fennwick-host: %s\n", exception.what());
        return kExitFailure;
    }
}
