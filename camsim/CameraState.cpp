#include "CameraState.h"

#include "AlarmKeys.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr std::string_view kGmTimeKey = "GmTime";
constexpr std::string_view kNtpKey = "NtpService";
// Generation 5 takes the time only as a POST to etc.cgi (ClockCgi.h).
constexpr uint32_t kEtcCgiGeneration = 5;

} // namespace

std::optional<AuthMode> ParseAuthMode(std::string_view text) {
    if (text == "none")
        return AuthMode::None;
    if (text == "basic")
        return AuthMode::Basic;
    if (text == "digest")
        return AuthMode::Digest;
    return std::nullopt;
}

KeyValueList SplitItems(std::string_view text) {
    KeyValueList items;
    while (!text.empty()) {
        const size_t end = std::min(text.find('&'), text.size());
        const std::string_view item = text.substr(0, end);
        if (!item.empty()) {
            const size_t equals = item.find('=');
            if (equals == std::string_view::npos)
                items.emplace_back(std::string(item), std::string());
            else
                items.emplace_back(std::string(item.substr(0, equals)), std::string(item.substr(equals + 1)));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return items;
}

CameraState::CameraState(const ModelSpec& model, std::string user, std::string password, AuthMode auth,
                         uint32_t inputs, uint32_t outputs, int64_t clockOffsetMs)
    : m_model(model), m_user(std::move(user)), m_password(std::move(password)), m_auth(auth),
      m_clock(clockOffsetMs) {
    for (const InquiryGroupSpec& group : model.groups)
        m_groups.push_back({group.name, SplitItems(group.items)});
    for (const InquiryGroupSpec& group : AlarmIoGroups(model, inputs, outputs))
        m_groups.push_back({group.name, SplitItems(group.items)});
    // Every generation reports its clock in inq=system; GmTime is read from the clock.
    for (Group& group : m_groups)
        if (group.name == "system")
            group.items.insert(group.items.end(), {{std::string(kNtpKey), "off"}, {std::string(kGmTimeKey), ""}});
}

CameraState::Cgi CameraState::CgiOfGroup(std::string_view name) {
    if (name == "system" || name == "sysinfo")
        return Cgi::System;
    if (name == "alarmout")
        return Cgi::AlarmOut;
    if (name == "motiondetection")
        return Cgi::MotionDetection;
    return Cgi::Camera;
}

std::string CameraState::User() const {
    std::lock_guard lock(m_mutex);
    return m_user;
}

std::string CameraState::Password() const {
    std::lock_guard lock(m_mutex);
    return m_password;
}

AuthMode CameraState::Auth() const {
    std::lock_guard lock(m_mutex);
    return m_auth;
}

void CameraState::SetCredentials(std::string user, std::string password) {
    std::lock_guard lock(m_mutex);
    m_user = std::move(user);
    m_password = std::move(password);
}

void CameraState::SetAuthMode(AuthMode auth) {
    std::lock_guard lock(m_mutex);
    m_auth = auth;
}

std::optional<std::string> CameraState::Inquiry(const std::vector<std::string>& groups) const {
    std::lock_guard lock(m_mutex);
    std::string answer;
    for (const std::string& name : groups) {
        auto source = std::find_if(m_sources.begin(), m_sources.end(),
                                   [&](const InquiryGroupSource* s) { return s->GroupName() == name; });
        if (source != m_sources.end()) {
            answer += (answer.empty() ? "" : "&") + (*source)->Items();
            continue;
        }
        auto group = std::find_if(m_groups.begin(), m_groups.end(), [&](const Group& g) { return g.name == name; });
        if (group == m_groups.end())
            return std::nullopt;
        for (const auto& [key, value] : group->items) {
            if (!answer.empty())
                answer += '&';
            answer += key + '=' + CurrentValue(key, value);
        }
    }
    return answer;
}

std::optional<std::string> CameraState::Value(std::string_view key) const {
    std::lock_guard lock(m_mutex);
    for (const Group& group : m_groups)
        for (const auto& [name, value] : group.items)
            if (name == key)
                return CurrentValue(name, value);
    return std::nullopt;
}

std::string CameraState::CurrentValue(const std::string& key, const std::string& stored) const {
    return key == kGmTimeKey ? m_clock.GmTime() : stored;
}

bool CameraState::IsAllowed(std::string_view key, std::string_view value) const {
    for (const AllowedValuesSpec& allowed : m_model.allowed)
        if (allowed.key == key)
            return std::find(allowed.values.begin(), allowed.values.end(), value) != allowed.values.end();
    return true;
}

void CameraState::ApplyCommand(Cgi cgi, const KeyValueList& parameters) {
    std::lock_guard lock(m_mutex);
    static constexpr const char* kCgiNames[] = {"camera.cgi?", "system.cgi?", "alarmout.cgi?",
                                                "motiondetection.cgi?", "masking.cgi?"};
    std::string logged = kCgiNames[size_t(cgi)];
    for (const auto& [key, value] : parameters) {
        logged += (logged.back() == '?' ? "" : "&") + key + '=' + value;
        bool taken = false;
        for (InquiryGroupSource* source : m_sources)
            taken = taken || source->TakeCommand(cgi, key, value);
        if (taken || !IsAllowed(key, value))
            continue;
        if (key == kGmTimeKey) {
            if (cgi == Cgi::System && m_model.generation != kEtcCgiGeneration)
                SetGmTimeLocked(value);
            continue;
        }
        for (Group& group : m_groups) {
            if (CgiOfGroup(group.name) != cgi)
                continue;
            for (auto& [name, current] : group.items)
                if (name == key)
                    current = value;
        }
    }
    if (m_commandLog.size() == kMaxLoggedCommands)
        m_commandLog.erase(m_commandLog.begin());
    m_commandLog.push_back(std::move(logged));
}

void CameraState::SetValue(std::string_view key, const std::string& value) {
    std::lock_guard lock(m_mutex);
    for (Group& group : m_groups)
        for (auto& [name, current] : group.items)
            if (name == key)
                current = value;
}

bool CameraState::HasGroup(std::string_view name) const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_groups.begin(), m_groups.end(), [&](const Group& group) { return group.name == name; }) ||
           std::any_of(m_sources.begin(), m_sources.end(),
                       [&](const InquiryGroupSource* source) { return source->GroupName() == name; });
}

void CameraState::AddGroupSource(InquiryGroupSource& source) {
    std::lock_guard lock(m_mutex);
    m_sources.push_back(&source);
}

bool CameraState::SetGmTime(std::string_view value) {
    std::lock_guard lock(m_mutex);
    return SetGmTimeLocked(value);
}

bool CameraState::SetGmTimeLocked(std::string_view value) {
    const std::optional<int64_t> time = CameraClock::ParseGmTime(value);
    if (!time)
        return false;
    for (const Group& group : m_groups)
        for (const auto& [name, current] : group.items)
            if (name == kNtpKey && current == "on")
                return false;
    m_clock.SetCameraTimeUnixMs(*time);
    return true;
}

std::vector<std::string> CameraState::CommandLog() const {
    std::lock_guard lock(m_mutex);
    return m_commandLog;
}

} // namespace camsim
