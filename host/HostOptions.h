// The command line of fennwick-host:
//   fennwick-host open --profile FILE [--library PATH] [--log FILE]
//                 [--host-version A.B.C.D] [--address HOST] [--port N] [--user NAME]
//                 [--password TEXT] [--model NAME] [--codec jpeg|mpeg4|h264]
//                 [--video-channels N] [--inputs N] [--outputs N]
// Device options given on the command line override the profile's keys.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fennwick_host {

struct HostOptions {
    std::string command;
    std::string profilePath;
    std::string libraryPath; // empty: DriverLibrary::DefaultPath()
    std::string logPath;
    std::string hostVersion; // empty: the driver's default
    // Device keys of the profile given as options, in command-line order.
    std::vector<std::pair<std::string, std::string>> deviceOptions;
};

// The parsed options, or the error text.
std::optional<HostOptions> ParseHostOptions(int argc, const char* const argv[], std::string& error);

std::string HostUsage();

} // namespace fennwick_host
