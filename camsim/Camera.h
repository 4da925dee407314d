// One simulated camera: its state, its web server and whatever other servers
// (RTSP, ...) are added to it; all of them start and stop together.
#pragma once

#include "CameraState.h"
#include "HttpServer.h"

#include <map>
#include <memory>
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
    // Fault: capability targets ("FrameRate1") answered with this value text
    // instead of the camera's ("" leaves the Capable... value empty).
    std::map<std::string, std::string> capabilityValues;
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

private:
    CameraOptions m_options;
    std::shared_ptr<CameraState> m_state;
    std::unique_ptr<HttpServer> m_http;
    std::vector<std::unique_ptr<Server>> m_servers;
    bool m_started = false;
};

} // namespace camsim
