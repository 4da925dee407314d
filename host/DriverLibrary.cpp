#include "DriverLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

namespace fennwick_host {
namespace {

constexpr size_t kMaxExecutablePath = 4096;

std::string ExecutableDirectory() {
    std::vector<char> buffer(kMaxExecutablePath);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size())
        return std::string();
    std::string path(buffer.data(), size_t(length));
    return path.substr(0, path.rfind('/') + 1);
}

template <typename Function>
Function Resolve(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

std::optional<CapabilityQueryExports> ResolveCapabilityQuery(void* handle) {
    CapabilityQueryExports query{Resolve<InitCapabilityQueryFn>(handle, "InitCapabilityQuery"),
                                 Resolve<StartCapabilityQueryFn>(handle, "StartCapabilityQuery"),
                                 Resolve<TerminateCapabilityQueryFn>(handle, "TerminateCapabilityQuery"),
                                 Resolve<UninitCapabilityQueryFn>(handle, "UninitCapabilityQuery")};
    if (!query.init || !query.start || !query.terminate || !query.uninit)
        return std::nullopt;
    return query;
}

} // namespace

DriverLibrary::~DriverLibrary() {
    dlclose(m_handle);
}

std::unique_ptr<DriverLibrary> DriverLibrary::Load(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = "cannot load the driver library: " + (reason ? std::string(reason) : path);
        return nullptr;
    }
    auto create = Resolve<CreateIPCaptureFn>(handle, "CreateIPCaptureEx5");
    auto destroy = Resolve<DeleteIPCaptureFn>(handle, "DeleteIPCaptureEx5");
    if (!create || !destroy) {
        dlclose(handle);
        error = "driver library " + path + " lacks CreateIPCaptureEx5/DeleteIPCaptureEx5";
        return nullptr;
    }
    return std::unique_ptr<DriverLibrary>(new DriverLibrary(handle, create, destroy, ResolveCapabilityQuery(handle)));
}

std::string DriverLibrary::DefaultPath() {
    std::string directory = ExecutableDirectory();
    if (!directory.empty()) {
        std::string installed = directory + FENNWICK_LIBDIR_FROM_BINDIR "/libfennwick.so";
        if (access(installed.c_str(), R_OK) == 0)
            return installed;
    }
    return FENNWICK_BUILD_LIBRARY;
}

} // namespace fennwick_host
