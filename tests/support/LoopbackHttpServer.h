// A tiny HTTP/1.1 server on 127.0.0.1 for scripted cameras (settings, events)
// that answer by request target alone: the recording server with a handler of
// the target, and the targets as the record.
#pragma once

#include "support/RecordingHttpServer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace talvex::test {

using HttpAnswer = RecordedAnswer;

class LoopbackHttpServer {
public:
    using Handler = std::function<HttpAnswer(const std::string& target)>;

    explicit LoopbackHttpServer(Handler handler)
        : m_server([handler = std::move(handler)](const RecordedRequest& request) { return handler(request.target); }) {}

    uint16_t Port() const { return m_server.Port(); }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const RecordedRequest& request : m_server.Requests())
            targets.push_back(request.target);
        return targets;
    }
    void ClearTargets() { m_server.Clear(); }

private:
    RecordingHttpServer m_server;
};

} // namespace talvex::test
