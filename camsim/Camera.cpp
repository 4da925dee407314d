#include "Camera.h"

#include "AlarmKeys.h"
#include "CapabilityVideo.h"

namespace camsim {

namespace {

// Why a model cannot run with these counts; empty when it can.
std::string CheckAlarmCounts(const ModelSpec& model, uint32_t inputs, uint32_t outputs) {
    if (inputs > kMaxAlarmInputs || outputs > kMaxAlarmOutputs)
        return "at most " + std::to_string(kMaxAlarmInputs) + " inputs and " + std::to_string(kMaxAlarmOutputs) +
               " outputs";
    if (model.alarmIo.style == AlarmOutStyle::Single && outputs > 1)
        return model.name + " names its one alarm output without a number: at most 1 output";
    return {};
}

} // namespace

Camera::Camera(CameraOptions options) : m_options(std::move(options)) {
    const ModelSpec* model = FindModel(m_options.model);
    if (!model)
        return;
    const uint32_t inputs = m_options.inputs.value_or(model->alarmIo.inputs);
    const uint32_t outputs = m_options.outputs.value_or(model->alarmIo.outputs);
    m_optionError = CheckAlarmCounts(*model, inputs, outputs);
    if (!m_optionError.empty())
        return;
    m_state = std::make_shared<CameraState>(*model, m_options.user, m_options.password, m_options.auth, inputs,
                                            outputs, m_options.clockOffsetMs);
    m_http = std::make_unique<HttpServer>(m_state, m_options.http);
    m_http->SetFaults(m_options.faults);
    AddCapabilityVideoRoute(*m_http, m_state, m_options.capabilityValues);
    m_hooks = std::make_unique<TestHooks>(*m_http);
    m_clockCgi = std::make_unique<ClockCgi>(*m_http, *m_state);
    m_hooks->Add(*m_clockCgi);
    m_http->SetOutage(&m_outage);
    m_hooks->Add(m_outage);
    m_alarmState = std::make_unique<AlarmState>(*m_state, inputs, outputs);
    m_alarmIo = std::make_unique<AlarmIo>(*m_http, *m_state, *m_alarmState);
    m_alarmIo->Faults().cutStream = m_options.cutAlarmStream;
    m_hooks->Add(*m_alarmState);
    m_ptzState = std::make_unique<PtzState>(*m_state, model->ptz);
    m_ptzCgi = std::make_unique<PtzCgi>(*m_http, *m_state, *m_ptzState, model->ptz);
    m_ptzCgi->SetFaults(m_options.ptzFaults);
    if (model->ptz.HasPtz())
        m_hooks->Add(*m_ptzState);
    if (model->privacy.Has()) {
        m_privacyMasks = std::make_unique<PrivacyMasks>(model->privacy, model->generation);
        m_state->AddGroupSource(*m_privacyMasks);
        m_hooks->Add(*m_privacyMasks);
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
        error = m_optionError.empty() ? "unknown model " + m_options.model : m_optionError;
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
