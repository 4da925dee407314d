// The one capability query module a library instance holds for hosts that use
// InitCapabilityQuery / StartCapabilityQuery / TerminateCapabilityQuery /
// UninitCapabilityQuery instead of module objects of their own.
#pragma once

#include <talvex/ipcapture/CapabilityQuery.h>

#include <cstdint>
#include <memory>
#include <mutex>

namespace talvex {

class CCapabilityQueryHolder {
public:
    CCapabilityQueryHolder() = default;
    ~CCapabilityQueryHolder();
    CCapabilityQueryHolder(const CCapabilityQueryHolder&) = delete;
    CCapabilityQueryHolder& operator=(const CCapabilityQueryHolder&) = delete;

    // A new Sony module for separate use, or null (no callback, no memory).
    static ipcapture::IIPCapabilityQuery* CreateModule(ipcapture::ICapabilityQueryCallback* callback,
                                                       bool markHighRates);

    // False when a module is held already (it stays) or none can be made.
    bool Init(ipcapture::ICapabilityQueryCallback* callback, bool markHighRates);
    // False without a module or with a missing address, user or password.
    bool Start(const char* address, uint16_t port, const char* user, const char* password,
               ipcapture::ICapabilityQueryResult* result);
    void Terminate();
    // Destroys the module, waiting for its query.
    void Uninit();

private:
    std::mutex m_lock;
    std::unique_ptr<ipcapture::IIPCapabilityQuery> m_module;
};

} // namespace talvex
