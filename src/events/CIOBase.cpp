#include "events/CIOBase.h"

#include "common/StringFormat.h"

namespace talvex {
namespace {

constexpr uint32_t kErrorLevel = 1;
constexpr uint32_t kInformationLevel = 3;

} // namespace

CIOBase::CIOBase(IDriver* driver)
    : m_driver(driver),
      m_inputThread(driver, kInputPeriodMs, this, &CIOBase::GetInputStatesWrapper),
      m_outputThread(driver, this, &CIOBase::OnOutputChange) {}

bool CIOBase::SetCallback(ipcapture::ICaptureIOCallback* callback) {
    if (!callback)
        return false;
    m_callback = callback;
    return true;
}

uint32_t CIOBase::GetInputCount() {
    return m_driver->GetIOCounts().first;
}

uint32_t CIOBase::GetOutputCount() {
    return m_driver->GetIOCounts().second;
}

void CIOBase::ResetStates() {
    const auto [inputs, outputs] = m_driver->GetIOCounts();
    CAutoLock lock(m_lock);
    for (uint32_t index = 0; index < outputs; ++index)
        m_outputStates.try_emplace(index, kIOStateNone);
    m_inputStates.clear();
    for (uint32_t index = 0; index < inputs; ++index)
        m_inputStates[index] = kIOStateNone;
}

void CIOBase::StartIO() {
    try {
        ResetStates();
        PrepareIO();
        if (GetOutputCount() > 0)
            StartOutputThread();
        if (GetInputCount() > 0)
            StartInputThread();
    } catch (...) {
        // Nothing may reach the host; a thread that did not start was logged.
    }
}

std::string CIOBase::ThreadName(const char* kind) const {
    return FormatString("Digital %s thread (%s: %s)", kind, m_driver->GetDriverName().c_str(),
                        m_driver->GetDeviceTag().c_str());
}

void CIOBase::LogStartFailure(const std::string& threadName) {
    m_driver->DebugMessage(kErrorLevel, "%s: Starting of %s failed!", "talvex::CIOBase::StartIO", threadName.c_str());
}

void CIOBase::StartOutputThread() {
    const std::string name = ThreadName("Output");
    if (!m_outputThread.Start(name)) {
        LogStartFailure(name);
        return;
    }
    // Every output starts switched off.
    for (uint32_t index = 0; index < GetOutputCount(); ++index)
        m_outputThread.Push(new COutputState{index, kIOStateOff});
}

void CIOBase::StartInputThread() {
    const std::string name = ThreadName("Input");
    if (!m_inputThread.Start(name, true))
        LogStartFailure(name);
}

void CIOBase::StopIO() {
    try {
        const uint32_t limitMs = m_driver->GetDeviceInfo()->firstTimeoutMs;
        m_outputThread.GetStopEvent().Set();
        m_inputThread.GetStopEvent().Set();
        AbortRequests();
        const std::string device = m_driver->GetDeviceTag();
        if (!m_outputThread.Stop(limitMs))
            m_driver->DebugMessage(kErrorLevel, "%s: Stop Output thread failed! Device %s", "talvex::CIOBase::StopIO",
                                   device.c_str());
        if (!m_inputThread.StopThread(limitMs))
            m_driver->DebugMessage(kErrorLevel, "%s: Stop Input thread failed! Device %s", "talvex::CIOBase::StopIO",
                                   device.c_str());
        ResetStates();
    } catch (...) {
        // Nothing may reach the host.
    }
}

bool CIOBase::SetOutput(uint32_t outputIndex, uint32_t state) {
    try {
        return m_outputThread.Push(new COutputState{outputIndex, state});
    } catch (...) {
        return false;
    }
}

void CIOBase::OnOutputChange(uint32_t index, uint32_t state) {
    {
        CAutoLock lock(m_lock);
        auto it = m_outputStates.find(index);
        if (it == m_outputStates.end() || it->second == state)
            return;
        it->second = state;
    }
    SetOutputStateWrapper(index, state);
}

void CIOBase::SetOutputStateWrapper(uint32_t index, uint32_t state) {
    if (SetOutputState(index, state)) {
        if (!m_reportOutputFailure)
            m_driver->DebugMessage(kInformationLevel, "%s: Output states of device %s can be changed again",
                                   "talvex::CIOBase::SetOutputStateWrapper", m_driver->GetDeviceTag().c_str());
        m_reportOutputFailure = true;
        return;
    }
    ResetStates();
    {
        // The change did not happen: the same change asked for again is tried again.
        CAutoLock lock(m_lock);
        if (auto it = m_outputStates.find(index); it != m_outputStates.end())
            it->second = kIOStateNone;
    }
    if (ipcapture::ICaptureIOCallback* callback = m_callback.load())
        callback->OnFailure();
    if (!m_reportOutputFailure)
        return;
    m_reportOutputFailure = false;
    const DEVICE_INFO& device = *m_driver->GetDeviceInfo();
    m_driver->DebugMessage(kErrorLevel, "%s: Unable to change output state for device %s:%u (output index %u)",
                           "talvex::CIOBase::SetOutputStateWrapper", device.address.c_str(), unsigned(device.port),
                           index);
}

void CIOBase::GetInputStatesWrapper() {
    if (GetInputStates()) {
        if (!m_reportInputFailure)
            m_driver->DebugMessage(kInformationLevel, "%s: GetInputStates() works again. Device %s",
                                   "talvex::CIOBase::GetInputStatesWrapper", m_driver->GetDeviceTag().c_str());
        m_reportInputFailure = true;
        m_inputFailures = 0;
        return;
    }
    ResetStates();
    if (ipcapture::ICaptureIOCallback* callback = m_callback.load())
        callback->OnFailure();
    if (!m_reportInputFailure || m_inputFailures++ == 0)
        return;
    // A single failed poll is common (a busy camera); the second in a row is reported.
    m_reportInputFailure = false;
    const DEVICE_INFO& device = *m_driver->GetDeviceInfo();
    m_driver->DebugMessage(kErrorLevel, "%s: GetInputStates() method failed! Device %s:%hu",
                           "talvex::CIOBase::GetInputStatesWrapper", device.address.c_str(), device.port);
}

void CIOBase::ReportInput(uint32_t index, uint32_t state) {
    {
        CAutoLock lock(m_lock);
        auto it = m_inputStates.find(index);
        if (it == m_inputStates.end() || it->second == state)
            return;
        it->second = state;
    }
    if (ipcapture::ICaptureIOCallback* callback = m_callback.load())
        callback->OnInputChanged(index, state);
}

} // namespace talvex
