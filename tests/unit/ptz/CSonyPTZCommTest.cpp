#include "ptz/CSonyPTZComm.h"
#include "ptz/CSonyPTZControl.h"
#include "ptz/CSonyPresetList.h"

#include "ptz/CSonyPTZHandler.h"
#include "ptz/PtzResult.h"
#include "support/FakePtzDriver.h"
#include "support/RecordingHttpServer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvex {
namespace {

using test::FakePtzDriver;
using test::RecordedAnswer;
using test::RecordedRequest;
using test::RecordingHttpServer;
using test::WaitUntil;
using Call = std::function<int32_t(ipcapture::IIPPTZApiEx&)>;

// A Sony PTZ channel against a recording loopback camera: the fake driver
// with the camera's generation, model and capabilities, the handler, and the
// requests the camera saw. The commands and the presets are both met through it.
class SonyPtzRig {
public:
    explicit SonyPtzRig(const std::string& capabilities, uint32_t generation = 6, std::string model = "SNC-EP580",
                        RecordingHttpServer::Handler answer = nullptr)
        : server(answer ? std::move(answer)
                        : RecordingHttpServer::Handler([](const RecordedRequest&) { return RecordedAnswer{200, "OK"}; })),
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

    RecordingHttpServer server;
    FakePtzDriver driver;
    std::unique_ptr<CSonyPTZHandler> handler;
};

// Pan, tilt and zoom only: no mode switches follow a move.
constexpr const char* kPanTiltZoom = "Pan=1;Tilt=1;Zoom=1;AreaZoom=1;Center=1;Unzoom=1";

struct RequestCase {
    uint32_t generation;
    const char* model;
    Call call;
    const char* request;
};

Call Move(int32_t direction, uint32_t speed) {
    return [=](ipcapture::IIPPTZApiEx& ptz) { return ptz.PTZ_Move(direction, speed); };
}
Call Focus(bool near, uint32_t speed) {
    return [=](ipcapture::IIPPTZApiEx& ptz) { return near ? ptz.PTZ_FocusNear(speed) : ptz.PTZ_FocusFar(speed); };
}
Call AreaZoom(int32_t x, int32_t y, int32_t percent) {
    return [=](ipcapture::IIPPTZApiEx& ptz) { return ptz.PTZ_AreaZoom(x, y, percent, 0); };
}
// The call, then a stop of what it set moving.
Call ThenStop(Call call) {
    return [=](ipcapture::IIPPTZApiEx& ptz) { return call(ptz) == kPtzSuccess ? ptz.PTZ_Stop() : kPtzNotQueued; };
}

// Left, up, down and the pan and tilt stop of generation 6 are met in
// ARepeatedMoveIsDroppedUntilAStop and AMoveReturnsTheCameraToAutomaticFocusAndFullExposureOnce.
const RequestCase kRequestCases[] = {
    {6, "SNC-EP580", Move(1, 1), "GET /command/ptzf.cgi?Move=right,4"},
    {6, "SNC-EP580", Move(4, 16), "GET /command/ptzf.cgi?Move=up-left,20"},
    {6, "SNC-EP580", Move(5, 16), "GET /command/ptzf.cgi?Move=up-right,20"},
    {6, "SNC-EP580", Move(6, 16), "GET /command/ptzf.cgi?Move=down-left,20"},
    {6, "SNC-EP580", Move(7, 16), "GET /command/ptzf.cgi?Move=down-right,20"},
    {6, "SNC-EP580", Move(8, 16), "GET /command/ptzf.cgi?Move=tele,8"},
    {6, "SNC-EP580", Move(9, 1), "GET /command/ptzf.cgi?Move=wide,2"},
    {6, "SNC-EP580", Focus(true, 16), "GET /command/ptzf.cgi?Move=near,8"},
    {6, "SNC-EP580", Focus(false, 1), "GET /command/ptzf.cgi?Move=far,1"},
    {5, "SNC-RZ50", Move(0, 16), "GET /command/ptzf.cgi?Move=left,24"},
    {5, "SNC-RZ50", Move(1, 1), "GET /command/ptzf.cgi?Move=right,1"},
    {5, "SNT-EX104", Move(2, 16), "GET /command/ptzf.cgi?Move=up,100"},
    {4, "SNC-RZ30", Move(3, 16), "GET /command/ptzf.cgi?Move=down,20"},
    {7, "SNC-VM772R", Move(8, 8), "GET /command/ptzf.cgi?Move=tele,5"},
    // First generation: pan and tilt as CGI moves, zoom and focus as VISCA.
    {1, "SNC-RZ30", Move(0, 16), "GET /command/ptzf.cgi?Move=left,20"},
    {1, "SNC-RZ30", Move(8, 16), "GET /command/ptzf.cgi?visca=8101040727FF"},
    {1, "SNC-RZ30", Move(9, 1), "GET /command/ptzf.cgi?visca=8101040730FF"},
    {1, "SNC-RZ30", Move(8, 6), "GET /command/ptzf.cgi?visca=8101040722FF"},
    {1, "SNC-RZ30", Focus(false, 16), "GET /command/ptzf.cgi?visca=8101040827FF"},
    {1, "SNC-RZ30", Focus(true, 3), "GET /command/ptzf.cgi?visca=8101040831FF"},
    {1, "SNC-RZ30", [](auto& ptz) { return ptz.PTZ_Unzoom(0); }, "GET /command/ptzf.cgi?visca=8101044700000000FF"},
    {6, "SNC-EP580", [](auto& ptz) { return ptz.PTZ_Unzoom(0); }, "GET /command/ptzf.cgi?AbsoluteZoom=0"},
    // Area zoom and centring on a 640 x 480 picture.
    {6, "SNC-EP580", AreaZoom(320, 240, 200), "GET /command/ptzf.cgi?AreaZoom=0,0,320,240,Image1"},
    {6, "SNC-EP580", AreaZoom(0, 480, 400), "GET /command/ptzf.cgi?AreaZoom=-320,240,160,120,Image1"},
    {4, "SNC-DF40", AreaZoom(330, 230, 100), "GET /command/ptzf.cgi?AreaZoom=10,-10,640,480,h264"},
    {6, "SNC-RZ50", [](auto& ptz) { return ptz.PTZ_Center(420, 240, 0); }, "GET /command/ptzf.cgi?AreaZoom=100,0,0,0"},
    // Each moving axis stops in its generation's wording.
    {6, "SNC-EP580", ThenStop(Move(8, 8)), "GET /command/ptzf.cgi?Move=stop,zoom"},
    {6, "SNC-EP580", ThenStop(Focus(true, 8)), "GET /command/ptzf.cgi?Move=stop,focus"},
    {1, "SNC-RZ30", ThenStop(Move(0, 8)), "GET /command/ptzf.cgi?Move=stop,motor"},
    {1, "SNC-RZ30", ThenStop(Move(8, 8)), "GET /command/ptzf.cgi?visca=8101040700FF"},
    {1, "SNC-RZ30", ThenStop(Focus(true, 8)), "GET /command/ptzf.cgi?visca=8101040800FF"},
};

TEST(CSonyPTZCommTest, SendsEachCommandInItsGenerationsWording) {
    for (const RequestCase& c : kRequestCases) {
        SCOPED_TRACE(c.request);
        SonyPtzRig rig(std::string(kPanTiltZoom) + ";Focus=1", c.generation, c.model);
        rig.driver.m_defaultCodec = 3;
        EXPECT_EQ(c.call(rig.Ptz()), kPtzSuccess);
        EXPECT_TRUE(rig.Saw(c.request));
    }
}

TEST(CSonyPTZCommTest, ARepeatedMoveIsDroppedUntilAStop) {
    SonyPtzRig rig(kPanTiltZoom);
    rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 8);
    rig.Await(1);
    rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 9);
    rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 0);
    rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 8);
    const std::vector<std::string> expected = {"GET /command/ptzf.cgi?Move=left,11",
                                               "GET /command/ptzf.cgi?Move=stop,motor",
                                               "GET /command/ptzf.cgi?Move=left,11"};
    EXPECT_EQ(rig.Await(3), expected);
}

TEST(CSonyPTZCommTest, AMoveReturnsTheCameraToAutomaticFocusAndFullExposureOnce) {
    SonyPtzRig rig("Pan=1;Focus=1;Iris=1");
    rig.Ptz().PTZ_Move(CPTZMessage::kUp, 16);
    rig.Await(3);
    rig.Ptz().PTZ_Move(CPTZMessage::kDown, 16);
    const std::vector<std::string> expected = {
        "GET /command/ptzf.cgi?Move=up,20", "GET /command/camera.cgi?FocusMode=auto",
        "GET /command/camera.cgi?ExpMode=full", "GET /command/ptzf.cgi?Move=down,20"};
    EXPECT_EQ(rig.Await(4), expected);
}

TEST(CSonyPTZCommTest, TheEmulatedIrisStepsFromTheCamerasIndexUntilStopped) {
    SonyPtzRig rig("Iris=1", 6, "SNC-EP580", [](const RecordedRequest& request) {
        return request.target == "/command/inquiry.cgi?inq=camera" ? RecordedAnswer{200, "ExpMode=full&Iris=15"}
                                                                   : RecordedAnswer{200, "OK"};
    });
    ASSERT_EQ(rig.Ptz().PTZ_IrisOpen(1), kPtzSuccess);
    rig.Await(2);
    ASSERT_EQ(rig.Ptz().PTZ_Stop(), kPtzSuccess);
    // The exposure is taken as manual until a move sets it to full.
    const std::vector<std::string> expected = {"GET /command/inquiry.cgi?inq=camera",
                                               "GET /command/camera.cgi?ExpMode=manual&Iris=16"};
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * CSonyPTZComm::kIrisPeriodMs));
    EXPECT_EQ(rig.server.Lines(), expected); // 16 is the most open: no further step
}

TEST(CSonyPTZCommTest, StoppingIsPromptWhileTheCameraDoesNotAnswer) {
    SonyPtzRig rig(kPanTiltZoom, 6, "SNC-EP580", [&rig](const RecordedRequest&) {
        rig.server.Hold();
        return RecordedAnswer{200, "OK"};
    });
    rig.driver.m_device.firstTimeoutMs = 5000;
    rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 8);
    rig.Ptz().PTZ_ZoomIn(8);
    ASSERT_EQ(rig.Await(1).size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    rig.handler.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_EQ(rig.server.Requests().size(), 1u); // the queued zoom was dropped
}

TEST(CSonyPTZCommTest, RepeatedFailuresAreLoggedOnceWithTheirCause) {
    std::atomic<uint32_t> status{500};
    SonyPtzRig rig(kPanTiltZoom, 6, "SNC-EP580",
                   [&status](const RecordedRequest&) { return RecordedAnswer{status.load(), "Bad"}; });
    rig.driver.m_device.password = "s3cret-word";
    const std::string cause = "HTTP status code is 500";
    auto moveLeft = [&rig](size_t requests) {
        rig.Ptz().PTZ_Move(CPTZMessage::kLeft, 8);
        rig.Await(requests);
    };
    for (size_t attempt = 1; attempt <= 3; ++attempt)
        moveLeft(attempt);
    EXPECT_TRUE(WaitUntil([&] { return test::CountLines(rig.driver, cause) == 1; }));
    status = 200; // a success clears the memory: the same failure is logged again
    moveLeft(4);
    rig.Ptz().PTZ_Stop();
    rig.Await(5);
    status = 500;
    moveLeft(6);
    EXPECT_TRUE(WaitUntil([&] { return test::CountLines(rig.driver, cause) == 2; }));
    EXPECT_EQ(test::CountLines(rig.driver, "s3cret-word"), 0u);
}

// The camera's preset table as presetposition.cgi keeps it.
class PresetCamera {
public:
    RecordedAnswer Answer(const RecordedRequest& request) {
        std::lock_guard lock(m_mutex);
        if (request.verb == "POST" && request.body.rfind("PresetSet=", 0) == 0) {
            const std::string rest = request.body.substr(10);
            const size_t comma = rest.find(',');
            const size_t end = rest.find(',', comma + 1);
            m_presets[std::stoul(rest.substr(0, comma))] = rest.substr(comma + 1, end - comma - 1);
        } else if (request.target.rfind("/command/presetposition.cgi?PresetClear=", 0) == 0) {
            m_presets.erase(std::stoul(request.target.substr(40)));
        } else if (request.target == "/command/inquiry.cgi?inq=presetposition") {
            std::string list;
            for (const auto& [number, name] : m_presets)
                list += (list.empty() ? "" : ",") + std::to_string(number) + "," + name;
            return {200, "PresetName=" + list};
        }
        return {200, "OK"};
    }

private:
    std::mutex m_mutex;
    std::map<unsigned long, std::string> m_presets{{2, "Gate"}};
};

class CSonyPTZControlTest : public ::testing::Test {
protected:
    PresetCamera camera;
    SonyPtzRig rig{"Pan=1;Preset=3", 6, "SNC-EP580",
                   [this](const RecordedRequest& request) { return camera.Answer(request); }};
    ipcapture::IIPPTZApiEx& ptz = rig.Ptz();

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        const int32_t count = rig.Ptz().PTZ_GetPrepositionCount();
        char buffer[64];
        for (int32_t index = 0; index < count; ++index)
            if (rig.Ptz().PTZ_GetPrepositionName(index, buffer, sizeof buffer) == kPtzSuccess)
                names.push_back(buffer);
        return names;
    }
    std::string Current() {
        char buffer[64] = "";
        return rig.Ptz().PTZ_GetCurrentPreposition(buffer, sizeof buffer) == 1 ? buffer : "";
    }
};

TEST_F(CSonyPTZControlTest, PresetsRoundTripThroughTheCamera) {
    EXPECT_EQ(ptz.PTZ_SavePreposition("Door"), kPtzSuccess);
    EXPECT_EQ(Current(), "Door");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Door", "Gate"}));
    EXPECT_EQ(ptz.PTZ_SavePreposition("Roof"), kPtzSuccess);
    EXPECT_EQ(ptz.PTZ_SavePreposition("Yard"), kPtzPresetOutOfRange); // three presets, all taken
    EXPECT_EQ(ptz.PTZ_MoveToPreposition(16, "Gate"), kPtzSuccess);
    EXPECT_EQ(Current(), "Gate");
    EXPECT_EQ(ptz.PTZ_Move(CPTZMessage::kLeft, 3), kPtzSuccess);
    EXPECT_EQ(Current(), "");
    EXPECT_EQ(ptz.PTZ_DeletePreposition("Door"), kPtzSuccess);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Gate", "Roof"}));

    std::vector<std::string> presetRequests;
    for (const RecordedRequest& request : rig.server.Requests())
        if (request.target.find("presetposition.cgi") != std::string::npos)
            presetRequests.push_back(request.verb + " " + request.target + (request.body.empty() ? "" : " " + request.body));
    const std::vector<std::string> expected = {
        "POST /command/presetposition.cgi PresetSet=1,Door,off",
        "POST /command/presetposition.cgi PresetSet=3,Roof,off",
        "GET /command/presetposition.cgi?PresetCall=2,24",
        "GET /command/presetposition.cgi?PresetClear=1",
    };
    EXPECT_EQ(presetRequests, expected);
}

// Names are copied only into buffers that hold them; unknown names are logged,
// names the camera cannot keep refused, and for neither is anything sent.
TEST_F(CSonyPTZControlTest, NamesAreCheckedBeforeAnythingIsSent) {
    ASSERT_EQ(ptz.PTZ_GetPrepositionCount(), 1);
    rig.server.Clear();
    char buffer[5];
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(0, buffer, 4), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(0, buffer, 5), kPtzSuccess);
    EXPECT_STREQ(buffer, "Gate");
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(1, buffer, 5), kPtzPresetOutOfRange);
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(-1, buffer, 5), kPtzPresetOutOfRange);
    EXPECT_EQ(ptz.PTZ_MoveToPreposition(4, "Nowhere"), kPtzPresetOutOfRange);
    EXPECT_EQ(ptz.PTZ_DeletePreposition("Nowhere"), kPtzPresetOutOfRange);
    EXPECT_EQ(test::CountLines(rig.driver, "'Nowhere'"), 2u);
    EXPECT_EQ(ptz.PTZ_SavePreposition(std::string(33, 'n').c_str()), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_SavePreposition(""), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_SavePreposition(nullptr), kPtzInvalidArgument);
    EXPECT_TRUE(rig.server.Requests().empty());
    EXPECT_EQ(ptz.PTZ_SavePreposition(std::string(32, 'n').c_str()), kPtzSuccess);
}

TEST_F(CSonyPTZControlTest, TheHandlerServesOneChannelWithOneObject) {
    EXPECT_EQ(rig.handler->GetPTZApi(1), nullptr);
    EXPECT_EQ(rig.handler->GetPTZApi(0), rig.handler->GetPTZApi(0));
    EXPECT_EQ(rig.handler->GetPTZ(0), rig.handler->GetPTZApi(0));
}

using Presets = std::map<uint32_t, std::string>;

struct ListCase {
    const char* answer;
    Presets expected;
};

const ListCase kListCases[] = {
    {"PresetName=1,Door,2,Gate,3", {{0, "Door"}, {1, "Gate"}}},
    {"PresetNum=16&PresetName=3,Hall,1,Yard", {{2, "Hall"}, {0, "Yard"}}},
    {"PresetName=1,Door,0,Gate,3,Roof", {{0, "Door"}}},
    {"PresetName=1,Door,x,Gate", {{0, "Door"}}},
    {"PresetName=1,,2,Gate", {}},
    {"PresetName=", {}},
    {"Other=1,Door", {}},
    {"PresetName=99999999999,Door", {}},
};

TEST(CSonyPresetListTest, ReadsNumberNamePairsUntilTheFirstBadOne) {
    for (const ListCase& c : kListCases)
        EXPECT_EQ(CSonyPresetList::Parse(c.answer), c.expected) << c.answer;
}

TEST(CSonyPresetListTest, StopsAtTheCap) {
    std::string answer = "PresetName=";
    for (size_t number = 1; number <= CSonyPresetList::kMaxPresets + 10; ++number)
        answer += std::to_string(number) + ",P" + std::to_string(number) + ",";
    EXPECT_EQ(CSonyPresetList::Parse(answer).size(), CSonyPresetList::kMaxPresets);
}

} // namespace
} // namespace talvex
