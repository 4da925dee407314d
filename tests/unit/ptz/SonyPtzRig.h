// A Sony PTZ channel against a recording loopback camera: the fake driver
// with the camera's generation, model and capabilities, the handler, and the
// requests the camera saw.
#pragma once

#include "ptz/CSonyPTZHandler.h"
#include "support/FakePtzDriver.h"
#include "support/RecordingHttpServer.h"
#include "support/WaitUntil.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace talvex::test {

class SonyPtzRig {
public:
    explicit SonyPtzRig(const std::string& capabilities, uint32_t generation = 6, std::string model = "SNC-EP580",
                        RecordingHttpServer::Handler answer = nullptr)
        : m_answer(answer ? std::move(answer) : [](const RecordedRequest&) { return RecordedAnswer{200, "OK"}; }),
          server([this](const RecordedRequest& request) { return m_answer(request); }),
          driver(server.Port(), capabilities, generation, std::move(model)),
          handler(std::make_unique<CSonyPTZHandler>(&driver)) {}
    ~SonyPtzRig() {
        server.Release();
        handler.reset();
    }

    ipcapture::IIPPTZApiEx& Ptz() { return *static_cast<ipcapture::IIPPTZApiEx*>(handler->GetPTZApi(0)); }
    // The request lines once count of them have come (or what came within the limit).
    std::vector<std::string> Await(size_t count) {
        WaitUntil([&] { return server.Requests().size() >= count; }, std::chrono::milliseconds(3000));
        return server.Lines();
    }
    // Whether the camera saw the request line within the limit.
    bool Saw(const std::string& line) {
        return WaitUntil([&] { return std::ranges::count(server.Lines(), line) > 0; }, std::chrono::milliseconds(3000));
    }

private:
    RecordingHttpServer::Handler m_answer;

public:
    RecordingHttpServer server;
    FakePtzDriver driver;
    std::unique_ptr<CSonyPTZHandler> handler;
};

} // namespace talvex::test
