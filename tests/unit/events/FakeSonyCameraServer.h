// A Sony camera's CGI on a loopback port for the event tests: fixed answers
// by request target (a target not listed answers 200 with "OK"), every target
// recorded, and targets that the camera holds unanswered until it stops (a
// bounded wait).
#pragma once

#include "support/LoopbackHttpServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

namespace talvex::test {

class FakeSonyCameraServer {
public:
    ~FakeSonyCameraServer() { m_released = true; }

    uint16_t Port() const { return m_server.Port(); }
    std::vector<std::string> Targets() const { return m_server.Targets(); }
    void ClearTargets() { m_server.ClearTargets(); }
    size_t CountOf(const std::string& target) const { return size_t(std::ranges::count(Targets(), target)); }
    // Set before the first request, or only while no request is served.
    void Answer(const std::string& target, HttpAnswer answer) { m_answers[target] = std::move(answer); }
    void Hold(const std::string& target) { m_held.insert(target); }

private:
    HttpAnswer Serve(const std::string& target) {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
             m_held.count(target) && !m_released && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto it = m_answers.find(target);
        return it == m_answers.end() ? HttpAnswer{200, "OK"} : it->second;
    }

    std::map<std::string, HttpAnswer> m_answers;
    std::set<std::string> m_held;
    std::atomic<bool> m_released{false};
    // Last: it serves from the members above and stops first.
    LoopbackHttpServer m_server{[this](const std::string& target) { return Serve(target); }};
};

} // namespace talvex::test
