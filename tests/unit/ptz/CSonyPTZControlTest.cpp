#include "ptz/CSonyPTZControl.h"

#include "ptz/PtzResult.h"
#include "unit/ptz/SonyPtzRig.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

namespace talvex {
namespace {

using test::RecordedAnswer;
using test::RecordedRequest;

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
    test::SonyPtzRig rig{"Pan=1;Preset=3", 6, "SNC-EP580",
                         [this](const RecordedRequest& request) { return camera.Answer(request); }};

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
    ipcapture::IIPPTZApiEx& ptz = rig.Ptz();
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

TEST_F(CSonyPTZControlTest, UnknownNamesAreLoggedAndNothingIsSent) {
    ipcapture::IIPPTZApiEx& ptz = rig.Ptz();
    EXPECT_EQ(ptz.PTZ_GetPrepositionCount(), 1);
    rig.server.Clear();
    EXPECT_EQ(ptz.PTZ_MoveToPreposition(4, "Nowhere"), kPtzPresetOutOfRange);
    EXPECT_EQ(ptz.PTZ_DeletePreposition("Nowhere"), kPtzPresetOutOfRange);
    EXPECT_EQ(test::CountLines(rig.driver, "'Nowhere'"), 2u);
    EXPECT_TRUE(rig.server.Requests().empty());
}

TEST_F(CSonyPTZControlTest, NamesLongerThanTheCameraKeepsAreRefused) {
    ipcapture::IIPPTZApiEx& ptz = rig.Ptz();
    EXPECT_EQ(ptz.PTZ_SavePreposition(std::string(33, 'n').c_str()), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_SavePreposition(""), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_SavePreposition(nullptr), kPtzInvalidArgument);
    EXPECT_TRUE(rig.server.Requests().empty());
    EXPECT_EQ(ptz.PTZ_SavePreposition(std::string(32, 'n').c_str()), kPtzSuccess);
}

TEST_F(CSonyPTZControlTest, NamesAreCopiedOnlyIntoBuffersThatHoldThem) {
    ipcapture::IIPPTZApiEx& ptz = rig.Ptz();
    ASSERT_EQ(ptz.PTZ_GetPrepositionCount(), 1);
    char buffer[5];
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(0, buffer, 4), kPtzInvalidArgument);
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(0, buffer, 5), kPtzSuccess);
    EXPECT_STREQ(buffer, "Gate");
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(1, buffer, 5), kPtzPresetOutOfRange);
    EXPECT_EQ(ptz.PTZ_GetPrepositionName(-1, buffer, 5), kPtzPresetOutOfRange);
}

TEST_F(CSonyPTZControlTest, TheHandlerServesOneChannelWithOneObject) {
    EXPECT_EQ(rig.handler->GetPTZApi(1), nullptr);
    EXPECT_EQ(rig.handler->GetPTZApi(0), rig.handler->GetPTZApi(0));
    EXPECT_EQ(rig.handler->GetPTZ(0), rig.handler->GetPTZApi(0));
}

} // namespace
} // namespace talvex
