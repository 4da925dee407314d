// fennwick-host: the reference recording host. It loads libfennwick.so, feeds
// a driver object the device from a profile and shows the driver's log.
#include "DeviceProfile.h"
#include "DeviceSettings.h"
#include "DriverLibrary.h"
#include "HostCoreVersion.h"
#include "HostDebugSink.h"
#include "HostOptions.h"

#include <cstdio>
#include <exception>

namespace fennwick_host {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& reason) {
    std::fprintf(stderr, "fennwick-host: %s\n", reason.c_str());
    return kExitFailure;
}

std::optional<std::string> ReadDevice(const HostOptions& options, DeviceProfile& profile) {
    if (auto error = LoadDeviceProfile(options.profilePath, profile))
        return error;
    for (const auto& [key, value] : options.deviceOptions)
        if (auto error = SetDeviceOption(profile, key, value))
            return "--" + *error;
    if (profile.address.empty())
        return std::string("no device address (profile key address= or --address)");
    return std::nullopt;
}

// Opens the device and closes it again.
int OpenCommand(const HostOptions& options) {
    DeviceProfile profile;
    if (auto error = ReadDevice(options, profile))
        return Fail(*error);
    if (!options.hostVersion.empty() && !SetHostCoreVersion(options.hostVersion))
        return Fail("--host-version wants A.B.C.D (each 0 to 65535), not '" + options.hostVersion + "'");

    HostDebugSink sink;
    if (!options.logPath.empty())
        if (auto error = sink.OpenLogFile(options.logPath))
            return Fail(*error);

    std::string libraryPath = options.libraryPath.empty() ? DriverLibrary::DefaultPath() : options.libraryPath;
    std::string error;
    auto library = DriverLibrary::Load(libraryPath, error);
    if (!library)
        return Fail(error);

    DeviceSettings settings(std::move(profile));
    DriverObject driver(*library, library->Create());
    if (!driver)
        return Fail("the driver library could not make a driver object");
    if (!driver->Open(&sink, nullptr, &settings))
        return Fail("the driver could not open " + std::string(settings.GetDeviceName()) + " (see its log above)");
    driver->Close();
    return 0;
}

} // namespace
} // namespace fennwick_host

int main(int argc, char* argv[]) {
    using namespace fennwick_host;
    try {
        std::string error;
        auto options = ParseHostOptions(argc, argv, error);
        if (!options) {
            std::fprintf(stderr, "fennwick-host: %s\n%s", error.c_str(), HostUsage().c_str());
            return kExitUsage;
        }
        return OpenCommand(*options);
    } catch (const std::exception& exception) {
        return Fail(exception.what());
    }
}
