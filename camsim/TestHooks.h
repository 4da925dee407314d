// Paths no camera has, for tests, bars and demos that drive camsim from
// outside (behind the camera's own authorisation):
//   GET /camsim/state                  one JSON object of the simulated state,
//                                      each subsystem adding its members
//   GET /camsim/control?key=value&...  changes what a camera's surroundings
//                                      change (a sensor, motion in a window);
//                                      400 with the reason for a bad key or
//                                      value, and then nothing is changed
#pragma once

#include "HttpServer.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camsim {

// One subsystem's part of the hooks.
class TestHookProvider {
public:
    virtual ~TestHookProvider() = default;
    // Appends this subsystem's members of the state object, each as "\"name\": value".
    virtual void AppendState(std::vector<std::string>& members) const = 0;
    // nullopt when the key is not this subsystem's; otherwise the reason the
    // value cannot be applied, empty when it can.
    virtual std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const = 0;
    virtual void ApplyControl(std::string_view key, std::string_view value) = 0;
};

class TestHooks {
public:
    explicit TestHooks(HttpServer& http);
    TestHooks(const TestHooks&) = delete;
    TestHooks& operator=(const TestHooks&) = delete;

    // The provider must outlive the web server's routes (its camera).
    void Add(TestHookProvider& provider);

private:
    void AnswerState(HttpExchange& exchange) const;
    void AnswerControl(HttpExchange& exchange);

    mutable std::mutex m_mutex;
    std::vector<TestHookProvider*> m_providers;
};

} // namespace camsim
