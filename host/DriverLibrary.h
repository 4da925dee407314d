// libfennwick.so loaded at run time: the host reaches the driver only through
// its exported C functions.
#pragma once

#include <talvex/ipcapture/Exports.h>

#include <memory>
#include <optional>
#include <string>

namespace fennwick_host {

// The library-held capability query module, as the host's configuration tools use it.
struct CapabilityQueryExports {
    InitCapabilityQueryFn init = nullptr;
    StartCapabilityQueryFn start = nullptr;
    TerminateCapabilityQueryFn terminate = nullptr;
    UninitCapabilityQueryFn uninit = nullptr;
};

class DriverLibrary {
public:
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // The loaded library, or the error text.
    static std::unique_ptr<DriverLibrary> Load(const std::string& path, std::string& error);

    // The library beside an installed host (<bindir>/../lib), else the one of the build tree.
    static std::string DefaultPath();

    // A new driver object; null when the library cannot make one.
    talvex::ipcapture::IIPCaptureDriverEx5* Create() const { return m_create(); }
    void Delete(talvex::ipcapture::IIPCaptureDriver* driver) const { m_delete(driver); }
    // Null when the library lacks any of the four capability query exports.
    const CapabilityQueryExports* CapabilityQuery() const { return m_query ? &*m_query : nullptr; }

private:
    DriverLibrary(void* handle, CreateIPCaptureFn create, DeleteIPCaptureFn destroy,
                  std::optional<CapabilityQueryExports> query)
        : m_handle(handle), m_create(create), m_delete(destroy), m_query(query) {}

    void* m_handle;
    CreateIPCaptureFn m_create;
    DeleteIPCaptureFn m_delete;
    std::optional<CapabilityQueryExports> m_query;
};

// Closes and deletes a driver object when it goes out of scope.
class DriverObject {
public:
    DriverObject(const DriverLibrary& library, talvex::ipcapture::IIPCaptureDriverEx5* driver)
        : m_library(library), m_driver(driver) {}
    ~DriverObject() {
        if (m_driver)
            m_library.Delete(m_driver);
    }
    DriverObject(const DriverObject&) = delete;
    DriverObject& operator=(const DriverObject&) = delete;

    talvex::ipcapture::IIPCaptureDriverEx5* operator->() const { return m_driver; }
    explicit operator bool() const { return m_driver != nullptr; }

private:
    const DriverLibrary& m_library;
    talvex::ipcapture::IIPCaptureDriverEx5* m_driver;
};

} // namespace fennwick_host
