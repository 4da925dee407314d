// The capability query: one fetch at a time on a thread of its own, in which a
// camera properties object identifies the device and gathers its facts, writes
// them into the host's result object, and the host's callback hears how it went.
#pragma once

#include "common/CEvent.h"
#include "common/CRecursiveLock.h"
#include "common/TSmartPtr.h"
#include "device/CBaseCameraProperties.h"

#include <talvex/ipcapture/CapabilityQuery.h>
#include <talvex/ipcapture/DeviceInfo.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace talvex {

class CCapabilityQueryModule : public ipcapture::IIPCapabilityQuery {
public:
    // Both request time-outs of a query; a stuck fetch is waited for twice as long.
    static constexpr uint32_t kQueryTimeoutMs = 5000;

    CCapabilityQueryModule(ipcapture::ICapabilityQueryCallback* callback, bool markHighRates);
    // Derived classes call StopFetch in their own destructor: the fetch runs their slots.
    ~CCapabilityQueryModule() override;

    bool StartQuery(const char* address, uint16_t port, const char* user, const char* password,
                    ipcapture::ICapabilityQueryResult* result) override;
    void CancelQuery() override;

    // How a fetch ended: success, or the failure code and text for the host.
    struct Outcome {
        bool success = false;
        uint32_t code = ipcapture::kCapabilityOtherFailure;
        std::string text;
    };

    // The module's own slots: the device's properties object, and the fetch run.
    virtual TSmartPtr<CBaseCameraProperties> CreateCameraProperties() = 0;
    virtual Outcome RunFetch(CBaseCameraProperties* properties, ipcapture::ICapabilityQueryResult* result);

    // Pure rules of the fetch, shared with tests.
    static bool IsValidAddress(std::string_view address);
    static std::string FetchFailureText(uint32_t code, const std::string& detail);

protected:
    // Cancels the fetch and waits for its thread (2 x kQueryTimeoutMs, then on,
    // after telling the host); on the fetch thread itself it only lets go.
    void StopFetch();
    const DEVICE_INFO& GetDeviceRecord() const { return m_device; }
    bool GetMarkHighRates() const { return m_markHighRates; }

private:
    void FetchThread(TSmartPtr<CBaseCameraProperties> properties, ipcapture::ICapabilityQueryResult* result);
    void Report(const Outcome& outcome);

    ipcapture::ICapabilityQueryCallback* m_callback;
    bool m_markHighRates;
    DEVICE_INFO m_device;
    ipcapture::ICapabilityQueryResult* m_result = nullptr;
    TSmartPtr<CBaseCameraProperties> m_properties;
    CRecursiveLock m_lock;
    std::thread m_thread;
    // Set by the fetch thread before its last call to the host: after it, the
    // thread touches nothing of the module.
    CManualEvent m_fetchDone;
};

} // namespace talvex
