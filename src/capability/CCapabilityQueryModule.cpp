#include "capability/CCapabilityQueryModule.h"

#include <system_error>

namespace talvex {

namespace {

using ipcapture::ICapabilityQueryResult;

// Characters no host name or IP address holds: they would change the URL.
constexpr std::string_view kInvalidAddressCharacters = "@#$%^&*(){}[]/\\+=|:;,~'\"!?";
constexpr uint32_t kStopWaitMs = 2 * CCapabilityQueryModule::kQueryTimeoutMs;

constexpr const char* kInvalidAddressText = "Failed to start capability fetching thread. Device address is invalid!";
constexpr const char* kInternalErrorText = "Failed to start capability fetching thread. Internal error occurs";
constexpr const char* kSaveFailedText = "Failed to save capability query results";

} // namespace

CCapabilityQueryModule::CCapabilityQueryModule(ipcapture::ICapabilityQueryCallback* callback, bool markHighRates)
    : m_callback(callback), m_markHighRates(markHighRates), m_device("", 0, "", "") {
    m_device.firstTimeoutMs = kQueryTimeoutMs;
    m_device.secondTimeoutMs = kQueryTimeoutMs;
    m_fetchDone.Set();
}

CCapabilityQueryModule::~CCapabilityQueryModule() {
    StopFetch();
}

bool CCapabilityQueryModule::IsValidAddress(std::string_view address) {
    return address.find_first_of(kInvalidAddressCharacters) == std::string_view::npos;
}

std::string CCapabilityQueryModule::FetchFailureText(uint32_t code, const std::string& detail) {
    std::string text = "Failed to get camera properties";
    switch (code) {
    case ipcapture::kCapabilityLoginFailed:
        return text + (detail.empty() ? ", login failed (invalid credentials)" : ": " + detail);
    case ipcapture::kCapabilityUnreachable:
        return text + ", device is offline or is located in unaccessible subnet";
    default:
        return detail.empty() ? text : text + ": " + detail;
    }
}

bool CCapabilityQueryModule::StartQuery(const char* address, uint16_t port, const char* user, const char* password,
                                        ICapabilityQueryResult* result) {
    CAutoLock lock(m_lock);
    if (!m_fetchDone.Wait(0) || !address || !user || !password)
        return false;
    if (m_thread.joinable()) {
        // The last fetch has reported; a host starting again from its callback cannot wait for it.
        if (m_thread.get_id() == std::this_thread::get_id())
            return false;
        m_thread.join();
    }
    m_result = result;
    m_device.address = address;
    m_device.port = port;
    m_device.user = user;
    m_device.password = password;
    m_properties = CreateCameraProperties();
    if (!m_properties)
        return false;
    m_fetchDone.Reset();
    try {
        m_thread = std::thread(&CCapabilityQueryModule::FetchThread, this, m_properties, result);
    } catch (const std::system_error&) {
        m_fetchDone.Set();
        return false;
    }
    return true;
}

void CCapabilityQueryModule::CancelQuery() {
    CAutoLock lock(m_lock);
    if (m_properties)
        m_properties->Cancel();
}

void CCapabilityQueryModule::StopFetch() {
    CancelQuery();
    std::thread thread;
    {
        CAutoLock lock(m_lock);
        thread = std::move(m_thread);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id()) {
        // Deleted from its own callback: the thread touches nothing of the module any more.
        thread.detach();
        return;
    }
    if (!m_fetchDone.Wait(kStopWaitMs) && m_callback)
        m_callback->OnQueryThreadKilled();
    thread.join();
    CAutoLock lock(m_lock);
    m_properties.Release();
}

void CCapabilityQueryModule::FetchThread(TSmartPtr<CBaseCameraProperties> properties, ICapabilityQueryResult* result) {
    Outcome outcome{false, ipcapture::kCapabilityOtherFailure, kInternalErrorText};
    try {
        outcome = RunFetch(properties.Get(), result);
    } catch (...) {
        // No exception reaches the host: it hears of an internal error.
    }
    Report(outcome);
}

CCapabilityQueryModule::Outcome CCapabilityQueryModule::RunFetch(CBaseCameraProperties* properties,
                                                                 ICapabilityQueryResult* result) {
    if (!IsValidAddress(m_device.address))
        return {false, ipcapture::kCapabilityInvalidAddress, kInvalidAddressText};
    if (!properties || !result)
        return {false, ipcapture::kCapabilityOtherFailure, kInternalErrorText};
    uint32_t reason = kPropertiesNoFailure;
    if (!properties->Fetch(reason)) {
        const uint32_t code = reason == kPropertiesNoFailure ? uint32_t(ipcapture::kCapabilityOtherFailure) : reason;
        return {false, code, FetchFailureText(code, properties->GetErrorText())};
    }
    if (!properties->WriteResults(*result))
        return {false, ipcapture::kCapabilityOtherFailure, kSaveFailedText};
    return {true, 0, std::string()};
}

void CCapabilityQueryModule::Report(const Outcome& outcome) {
    ipcapture::ICapabilityQueryCallback* callback = m_callback;
    // The host may delete the module from its callback: nothing of it is touched after the call.
    m_fetchDone.Set();
    if (!callback)
        return;
    if (outcome.success)
        callback->OnQueryCompleted();
    else
        callback->OnQueryFailed(outcome.code, outcome.text.c_str());
}

} // namespace talvex
