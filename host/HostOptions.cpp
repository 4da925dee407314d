#include "HostOptions.h"

#include <array>
#include <string_view>

namespace fennwick_host {
namespace {

constexpr std::array<std::string_view, 9> kDeviceKeys = {"address", "port",   "user",           "password", "model",
                                                         "codec",   "inputs", "video-channels", "outputs"};

bool IsDeviceKey(std::string_view key) {
    for (std::string_view known : kDeviceKeys)
        if (key == known)
            return true;
    return false;
}

} // namespace

std::string HostUsage() {
    return "usage: fennwick-host open --profile FILE [--library PATH] [--log FILE] [--host-version A.B.C.D]\n"
           "                          [--address HOST] [--port N] [--user NAME] [--password TEXT] [--model NAME]\n"
           "                          [--codec jpeg|mpeg4|h264] [--video-channels N] [--inputs N] [--outputs N]\n";
}

std::optional<HostOptions> ParseHostOptions(int argc, const char* const argv[], std::string& error) {
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    HostOptions options;
    options.command = argv[1];
    if (options.command != "open") {
        error = "unknown command '" + options.command + "'";
        return std::nullopt;
    }
    for (int index = 2; index < argc; ++index) {
        std::string_view argument = argv[index];
        if (!argument.starts_with("--") || index + 1 >= argc) {
            error = "expected --OPTION VALUE at '" + std::string(argument) + "'";
            return std::nullopt;
        }
        std::string key(argument.substr(2));
        std::string value = argv[++index];
        if (key == "profile")
            options.profilePath = value;
        else if (key == "library")
            options.libraryPath = value;
        else if (key == "log")
            options.logPath = value;
        else if (key == "host-version")
            options.hostVersion = value;
        else if (IsDeviceKey(key))
            options.deviceOptions.emplace_back(key, value);
        else {
            error = "unknown option --" + key;
            return std::nullopt;
        }
    }
    if (options.profilePath.empty()) {
        error = "open needs --profile FILE";
        return std::nullopt;
    }
    return options;
}

} // namespace fennwick_host
