// The camera's side of the settings exchanges on a loopback HTTP server: the
// "camera" inquiry from a key list, camera.cgi applying what it is sent, and
// capability-video answers from a test-supplied function.
#pragma once

#include "support/LoopbackHttpServer.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace talvex::test {

class FakeSonyCamera {
public:
    // target (e.g. "ImageSize1") and the whole request target -> answer.
    using CapabilityHandler = std::function<HttpAnswer(const std::string& target, const std::string& request)>;

    static constexpr const char* kInquiry = "/command/inquiry.cgi?inq=camera";
    static constexpr const char* kCameraCgi = "/command/camera.cgi?";
    static constexpr const char* kCapability = "/command/capability-video?Target=";

    explicit FakeSonyCamera(std::vector<std::pair<std::string, std::string>> items)
        : m_items(std::move(items)), m_server([this](const std::string& target) { return Answer(target); }) {}

    uint16_t Port() const { return m_server.Port(); }

    void Set(const std::string& key, const std::string& value) {
        std::lock_guard lock(m_mutex);
        for (auto& item : m_items)
            if (item.first == key) {
                item.second = value;
                return;
            }
        m_items.emplace_back(key, value);
    }
    std::string Get(const std::string& key) const {
        std::lock_guard lock(m_mutex);
        for (const auto& item : m_items)
            if (item.first == key)
                return item.second;
        return {};
    }
    void OnCapability(CapabilityHandler handler) {
        std::lock_guard lock(m_mutex);
        m_capability = std::move(handler);
    }
    void AnswerInquiryWith(uint32_t status) {
        std::lock_guard lock(m_mutex);
        m_inquiryStatus = status;
    }

    // The parameter texts of every camera.cgi request, in order.
    std::vector<std::string> Commands() const { return WithPrefix(kCameraCgi); }
    std::vector<std::string> CapabilityRequests() const { return WithPrefix(kCapability); }
    size_t RequestCount() const { return m_server.Targets().size(); }
    void ClearRequests() { m_server.ClearTargets(); }

private:
    std::vector<std::string> WithPrefix(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& target : m_server.Targets())
            if (target.starts_with(prefix))
                found.push_back(target.substr(prefix.size()));
        return found;
    }

    HttpAnswer Answer(const std::string& target) {
        std::lock_guard lock(m_mutex);
        if (target == kInquiry) {
            if (m_inquiryStatus != 200)
                return {m_inquiryStatus, {}};
            std::string body;
            for (const auto& [key, value] : m_items)
                body += (body.empty() ? "" : "&") + key + "=" + value;
            return {200, body};
        }
        if (target.starts_with(kCameraCgi)) {
            Apply(target.substr(std::string(kCameraCgi).size()));
            return {200, {}};
        }
        if (target.starts_with(kCapability) && m_capability) {
            const std::string rest = target.substr(std::string(kCapability).size());
            return m_capability(rest.substr(0, rest.find('&')), target);
        }
        return {404, {}};
    }

    void Apply(const std::string& parameters) {
        size_t start = 0;
        while (start <= parameters.size()) {
            size_t end = parameters.find('&', start);
            if (end == std::string::npos)
                end = parameters.size();
            const std::string item = parameters.substr(start, end - start);
            const size_t equals = item.find('=');
            if (equals != std::string::npos)
                for (auto& [key, value] : m_items)
                    if (key == item.substr(0, equals))
                        value = item.substr(equals + 1);
            start = end + 1;
        }
    }

    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_items;
    CapabilityHandler m_capability;
    uint32_t m_inquiryStatus = 200;
    LoopbackHttpServer m_server;
};

} // namespace talvex::test
