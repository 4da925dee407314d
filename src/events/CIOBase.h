// The host's digital I/O object: an input thread polls the camera's inputs
// and reports changes, an output thread applies the host's output changes in
// order. The device class supplies the camera requests.
#pragma once

#include "common/CRecursiveLock.h"
#include "common/CTickThread.h"
#include "common/IDriver.h"
#include "events/TOutputHandler.h"

#include <talvex/ipcapture/CaptureIO.h>

#include <atomic>
#include <cstdint>
#include <map>

namespace talvex {

class CIOBase : public ipcapture::ICaptureIOApi {
public:
    static constexpr uint32_t kInputPeriodMs = 2000;

    explicit CIOBase(IDriver* driver);
    ~CIOBase() override = default;
    CIOBase(const CIOBase&) = delete;
    CIOBase& operator=(const CIOBase&) = delete;

    // ICaptureIOApi
    bool SetCallback(ipcapture::ICaptureIOCallback* callback) override;
    void StartIO() override;
    void StopIO() override;
    uint32_t GetInputCount() override;
    uint32_t GetOutputCount() override;
    bool SetOutput(uint32_t outputIndex, uint32_t state) override;

    // The output thread's step: applies one queued change when it changes the state.
    virtual void OnOutputChange(uint32_t index, uint32_t state);
    // Camera side, supplied by the device class.
    virtual bool SetOutputState(uint32_t index, uint32_t state) = 0;
    virtual bool GetInputStates() = 0;
    // Runs before the threads start.
    virtual void PrepareIO() {}
    // Ends the device class's requests that block a thread.
    virtual void AbortRequests() = 0;

protected:
    // The device class reports an input's state; the host hears only changes.
    void ReportInput(uint32_t index, uint32_t state);
    bool InputStopRequested() { return m_inputThread.GetStopEvent().Wait(0); }
    bool OutputStopRequested() { return m_outputThread.GetStopEvent().Wait(0); }
    CEvent& InputStopEvent() { return m_inputThread.GetStopEvent(); }
    CEvent& OutputStopEvent() { return m_outputThread.GetStopEvent(); }
    // One input poll and one output change with their failure handling (the
    // threads' steps).
    void GetInputStatesWrapper();
    void SetOutputStateWrapper(uint32_t index, uint32_t state);

    IDriver* const m_driver;

private:
    void ResetStates();
    void StartOutputThread();
    void StartInputThread();
    std::string ThreadName(const char* kind) const;
    void LogStartFailure(const std::string& threadName);

    TTickThread<CIOBase> m_inputThread;
    TOutputHandler<CIOBase> m_outputThread;
    std::atomic<ipcapture::ICaptureIOCallback*> m_callback{nullptr};
    CRecursiveLock m_lock;
    std::map<uint32_t, uint32_t> m_inputStates;
    std::map<uint32_t, uint32_t> m_outputStates;
    // Each thread touches only its own flag and count.
    bool m_reportInputFailure = true;
    bool m_reportOutputFailure = true;
    uint32_t m_inputFailures = 0;
};

} // namespace talvex
