#include "capability/CCapabilityQueryHolder.h"

#include "capability/CSonyCapabilityQueryModule.h"

#include <new>

namespace talvex {

CCapabilityQueryHolder::~CCapabilityQueryHolder() {
    Uninit();
}

ipcapture::IIPCapabilityQuery* CCapabilityQueryHolder::CreateModule(ipcapture::ICapabilityQueryCallback* callback,
                                                                     bool markHighRates) {
    // Without a callback nobody would ever hear how a query went.
    if (!callback)
        return nullptr;
    return new (std::nothrow) CSonyCapabilityQueryModule(callback, markHighRates);
}

bool CCapabilityQueryHolder::Init(ipcapture::ICapabilityQueryCallback* callback, bool markHighRates) {
    std::lock_guard lock(m_lock);
    if (m_module)
        return false;
    m_module.reset(CreateModule(callback, markHighRates));
    return m_module != nullptr;
}

bool CCapabilityQueryHolder::Start(const char* address, uint16_t port, const char* user, const char* password,
                                   ipcapture::ICapabilityQueryResult* result) {
    std::lock_guard lock(m_lock);
    if (!address || !user || !password || !m_module)
        return false;
    return m_module->StartQuery(address, port, user, password, result);
}

void CCapabilityQueryHolder::Terminate() {
    std::lock_guard lock(m_lock);
    if (m_module)
        m_module->CancelQuery();
}

void CCapabilityQueryHolder::Uninit() {
    std::unique_ptr<ipcapture::IIPCapabilityQuery> module;
    {
        std::lock_guard lock(m_lock);
        module = std::move(m_module);
    }
    // Outside the lock: the query's callback may still call Terminate.
}

} // namespace talvex
