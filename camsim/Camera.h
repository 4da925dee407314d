// One simulated camera: its state, its web server and whatever other servers
// (RTSP, ...) are added to it; all of them start and stop together.
#pragma once

#include "AlarmIo.h"
#include "AlarmState.h"
#include "CameraState.h"
#include "ClockCgi.h"
#include "HttpServer.h"
#include "PrivacyMasks.h"
#include "OutageFault.h"
#include "PtzCgi.h"
#include "PtzState.h"
#include "TestHooks.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

// A server that serves a camera's state next to the web server.
class Server {
public:
    virtual ~Server() = default;
    virtual bool Start(std::string& error) = 0;
    virtual void Stop() = 0;
};

struct CameraOptions {
    std::string model = "SNC-CH210";
    std::string user = "admin";
    std::string password = "admin";
    AuthMode auth = AuthMode::Digest;
    HttpServerOptions http;
    HttpFaults faults;
    // Alarm inputs and outputs; the model's own counts when not given.
    std::optional<uint32_t> inputs;
    std::optional<uint32_t> outputs;
    bool cutAlarmStream = false; // AlarmFaults::cutStream from the start
    // Fault: capability targets ("FrameRate1") answered with this value text
    // instead of the camera's ("" leaves the Capable... value empty).
    std::map<std::string, std::string> capabilityValues;
    PtzFaults ptzFaults;
    int64_t clockOffsetMs = 0; // the camera's clock minus real UTC at start
};

class Camera {
public:
    explicit Camera(CameraOptions options);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Before Start; started after the web server, stopped before it.
    void AddServer(std::unique_ptr<Server> server);
    // False with error filled for an unknown model or a server that cannot start.
    bool Start(std::string& error);
    void Stop();

    // Valid after a successful Start.
    CameraState& State() { return *m_state; }
    const std::shared_ptr<CameraState>& SharedState() const { return m_state; }
    HttpServer& Http() { return *m_http; }
    AlarmState& Alarms() { return *m_alarmState; }
    AlarmIo& AlarmCgi() { return *m_alarmIo; }
    TestHooks& Hooks() { return *m_hooks; }
    PtzState& Ptz() { return *m_ptzState; }
    PtzCgi& PtzCommands() { return *m_ptzCgi; }
    // Null for a model without privacy masking.
    PrivacyMasks* Masks() { return m_privacyMasks.get(); }
    // Every server of the camera goes silent while it is active.
    OutageFault& Outage() { return m_outage; }

private:
    CameraOptions m_options;
    std::shared_ptr<CameraState> m_state;
    std::unique_ptr<HttpServer> m_http;
    std::unique_ptr<TestHooks> m_hooks;
    std::unique_ptr<ClockCgi> m_clockCgi;
    std::unique_ptr<AlarmState> m_alarmState;
    std::unique_ptr<AlarmIo> m_alarmIo;
    std::unique_ptr<PtzState> m_ptzState;
    std::unique_ptr<PtzCgi> m_ptzCgi;
    std::unique_ptr<PrivacyMasks> m_privacyMasks;
    OutageFault m_outage;
    std::string m_optionError; // why the options cannot make this model's camera
    std::vector<std::unique_ptr<Server>> m_servers;
    bool m_started = false;
};

} // namespace camsim
