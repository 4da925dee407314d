#include "Camera.h"

#include "CapabilityVideo.h"

namespace camsim {

Camera::Camera(CameraOptions options) : m_options(std::move(options)) {
    if (const ModelSpec* model = FindModel(m_options.model)) {
        m_state = std::make_shared<CameraState>(*model, m_options.user, m_options.password, m_options.auth);
        m_http = std::make_unique<HttpServer>(m_state, m_options.http);
        m_http->SetFaults(m_options.faults);
        AddCapabilityVideoRoute(*m_http, m_state, m_options.capabilityValues);
    }
}

Camera::~Camera() {
    Stop();
}

void Camera::AddServer(std::unique_ptr<Server> server) {
    m_servers.push_back(std::move(server));
}

bool Camera::Start(std::string& error) {
    if (!m_state) {
        error = "unknown model " + m_options.model;
        return false;
    }
    m_started = true;
    if (!m_http->Start(error)) {
        Stop();
        return false;
    }
    for (const auto& server : m_servers) {
        if (!server->Start(error)) {
            Stop();
            return false;
        }
    }
    return true;
}

void Camera::Stop() {
    if (!m_started)
        return;
    m_started = false;
    for (auto it = m_servers.rbegin(); it != m_servers.rend(); ++it)
        (*it)->Stop();
    m_http->Stop();
}

} // namespace camsim
