// The PTZ worker of a Sony camera: moves, focus, stops, area zoom and unzoom
// as "ptzf.cgi" requests (VISCA byte strings for zoom and focus on
// first-generation devices), focus and exposure mode switches, an iris that
// steps every 200 ms while it "moves", and presets kept by name.
#pragma once

#include "common/CLoggerInstance.h"
#include "common/CResultDef.h"
#include "common/CTickThread.h"
#include "ptz/CBasePTZComm.h"
#include "ptz/CLastPTZMessage.h"
#include "ptz/CScaleConverter.h"
#include "http/CHttpSender.h"

#include <atomic>
#include <mutex>

namespace talvex {

class CSonyPTZComm : public CBasePTZComm {
public:
    static constexpr uint32_t kIrisPeriodMs = 200;
    static constexpr int32_t kMaxIrisIndex = 16;
    static constexpr const char* kPostContentType = "Content-Type: text/html; charset=utf-8";

    CSonyPTZComm(IDriver* driver, uint16_t channelIndex, const CPtzCapabilities& capabilities);
    ~CSonyPTZComm() override;

    bool Open() override;
    // Ends every request under way, then both threads.
    void Close() override;
    // Iris "moves" on the iris thread, not through the queue.
    int32_t Iris(bool open, uint32_t speed) override;

    bool PresetSet(const std::string& name, uint32_t index) override;
    bool PresetCall(const std::string& name, uint32_t index, uint32_t speed) override;
    bool PresetClear(const std::string& name, uint32_t index) override;
    bool ReadPresetList(std::map<uint32_t, std::string>& presets) override;

protected:
    void ProcessMessage(const CPTZMessage& message) override;

private:
    enum IrisDirection : int32_t { kIrisIdle = 0, kIrisOpening = 1, kIrisClosing = 2 };

    void DoMove(const CPTZMessage& message);
    void DoFocus(const CPTZMessage& message);
    void DoStop(const CPTZMessage& message);
    void DoAreaZoom(const CPTZMessage& message);
    void DoUnzoom();
    // After a movement the camera returns to automatic focus and full exposure.
    void AfterMovement();
    void OnIrisTick();

    bool SetFocusMode(bool automatic);
    bool SetExposureMode(bool full);
    int32_t ReadIris();

    // A GET on the movement sender; true for status 200 or 204.
    bool SendGet(const std::string& path);
    bool SendVisca(uint32_t command, uint32_t hostSpeed);
    // A GET on the mode sender; true for a 2xx status.
    bool SendMode(const std::string& path);
    // Logs a failed request once until a request succeeds again.
    bool Checked(const CResultDef& result, CLoggerInstance& logger);
    // A converter per call: the worker and preset calls scale at the same time.
    static uint32_t Scaled(uint32_t speed, uint32_t low, uint32_t high);
    uint32_t PanTiltSpeed(uint32_t speed);

    bool m_useVisca;
    uint32_t m_generation;
    std::atomic<bool> m_focusAuto{false};
    std::atomic<bool> m_exposureFull{false};
    TTickThread<CSonyPTZComm> m_irisThread;
    std::atomic<int32_t> m_irisDirection{kIrisIdle};
    std::atomic<int32_t> m_irisIndex{-1};
    // The worker, the iris thread and preset calls all switch modes: one at a time.
    std::mutex m_modeMutex;
    // Host threads may ask for presets at the same time; the sender serves one.
    std::mutex m_presetMutex;
    Web::CHttpSender m_modeSender;
    Web::CHttpSender m_presetSender;
    Web::CHttpSender m_moveSender;
    CLastPTZMessage m_lastPanTilt;
    CLastPTZMessage m_lastZoom;
    CLoggerInstance m_moveLogger;
    CLoggerInstance m_modeLogger;
    CLoggerInstance m_presetLogger;
};

} // namespace talvex
