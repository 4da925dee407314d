#include "PtzSession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fennwick_host {
namespace {

using talvex::ipcapture::PTZ_CAPABILITIES;

// Records each call as text and answers the code set for its slot (1 otherwise).
class RecordingPtz : public talvex::ipcapture::IIPPTZApi {
public:
    bool PTZ_IsSupported() override { return true; }
    int32_t PTZ_Move(int32_t direction, uint32_t speed) override { return Call("Move", {direction, int64_t(speed)}); }
    int32_t PTZ_Stop() override { return Call("Stop", {}); }
    int32_t PTZ_Center(int32_t x, int32_t y, int32_t arg) override { return Call("Center", {x, y, arg}); }
    int32_t PTZ_ZoomIn(uint32_t speed) override { return Call("ZoomIn", {speed}); }
    int32_t PTZ_ZoomOut(uint32_t speed) override { return Call("ZoomOut", {speed}); }
    int32_t PTZ_Unzoom(int32_t arg) override { return Call("Unzoom", {arg}); }
    int32_t PTZ_AreaZoom(int32_t x, int32_t y, int32_t percent, int32_t arg) override {
        return Call("AreaZoom", {x, y, percent, arg});
    }
    int32_t PTZ_FocusNear(uint32_t speed) override { return Call("FocusNear", {speed}); }
    int32_t PTZ_FocusFar(uint32_t speed) override { return Call("FocusFar", {speed}); }
    int32_t PTZ_IrisOpen(uint32_t speed) override { return Call("IrisOpen", {speed}); }
    int32_t PTZ_IrisClose(uint32_t speed) override { return Call("IrisClose", {speed}); }
    int32_t PTZ_GetCapabilities(PTZ_CAPABILITIES*) override { return Call("GetCapabilities", {}); }
    int32_t PTZ_GetPrepositionCount() override {
        Call("GetPrepositionCount", {});
        return presetCount;
    }
    int32_t PTZ_GetPrepositionName(int32_t index, char* buffer, uint32_t bufferSize) override {
        if (index == failingName)
            return -23;
        const std::string name = "P" + std::to_string(index);
        std::snprintf(buffer, bufferSize, "%s", name.c_str());
        return 1;
    }
    int32_t PTZ_MoveToPreposition(uint32_t speed, const char* name) override {
        return Call("MoveToPreposition", {speed}, name);
    }
    int32_t PTZ_SavePreposition(const char* name) override { return Call("SavePreposition", {}, name); }
    int32_t PTZ_DeletePreposition(const char* name) override { return Call("DeletePreposition", {}, name); }
    int32_t PTZ_GetCurrentPreposition(char*, uint32_t) override { return Call("GetCurrentPreposition", {}); }

    std::vector<std::string> calls;
    int32_t code = 1;
    int32_t presetCount = 0;
    int32_t failingName = -1;

private:
    int32_t Call(const std::string& slot, const std::vector<int64_t>& numbers, const char* name = nullptr) {
        std::string text = slot + "(";
        for (size_t index = 0; index < numbers.size(); ++index)
            text += (index ? "," : "") + std::to_string(numbers[index]);
        if (name)
            text += std::string(numbers.empty() ? "" : ",") + name;
        calls.push_back(text + ")");
        return code;
    }
};

// Runs the actions of the words; what was printed.
std::string RunActions(RecordingPtz& ptz, const std::vector<std::string_view>& words, size_t& failed) {
    std::string error;
    const auto actions = ParsePtzActions(words, error);
    EXPECT_TRUE(actions) << error;
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    failed = PtzSession(ptz, out).Run(actions.value_or(std::vector<PtzAction>{}));
    std::fclose(out);
    std::string printed(text, size);
    std::free(text);
    return printed;
}

struct SessionCase {
    std::vector<std::string_view> words;
    std::string call;
};

TEST(PtzSession, EachActionCallsItsSlotAndPrintsTheCode) {
    const std::vector<SessionCase> cases = {
        {{"move", "up-right", "9"}, "Move(5,9)"},
        {{"move", "left", "1"}, "Move(0,1)"},
        {{"move", "down-right", "16"}, "Move(7,16)"},
        {{"zoom", "in", "3"}, "Move(8,3)"},
        {{"zoom", "out", "3"}, "Move(9,3)"},
        {{"focus", "near", "2"}, "FocusNear(2)"},
        {{"focus", "far", "2"}, "FocusFar(2)"},
        {{"iris", "open", "4"}, "IrisOpen(4)"},
        {{"iris", "close", "4"}, "IrisClose(4)"},
        {{"stop"}, "Stop()"},
        {{"center", "320", "240"}, "Center(320,240,0)"},
        {{"area-zoom", "10", "-20", "200"}, "AreaZoom(10,-20,200,0)"},
        {{"unzoom"}, "Unzoom(0)"},
        {{"preset-save", "Door"}, "SavePreposition(Door)"},
        {{"preset-call", "Door"}, "MoveToPreposition(16,Door)"},
        {{"preset-call", "Door", "2"}, "MoveToPreposition(2,Door)"},
        {{"preset-delete", "Door"}, "DeletePreposition(Door)"},
    };
    for (const SessionCase& test : cases) {
        for (const int32_t code : {1, -19}) {
            RecordingPtz ptz;
            ptz.code = code;
            size_t failed = 0;
            const std::string printed = RunActions(ptz, test.words, failed);
            std::string text;
            for (std::string_view word : test.words)
                text += (text.empty() ? "" : " ") + std::string(word);
            EXPECT_EQ(ptz.calls, std::vector<std::string>{test.call}) << text;
            EXPECT_EQ(printed, text + ": " + std::to_string(code) + "\n");
            EXPECT_EQ(failed, code == 1 ? 0u : 1u) << text;
        }
    }
}

TEST(PtzSession, PresetsPrintsEveryNameAndWaitOnlyItself) {
    RecordingPtz ptz;
    ptz.presetCount = 3;
    ptz.failingName = 1;
    size_t failed = 0;
    EXPECT_EQ(RunActions(ptz, {"presets", "wait", "0", "stop"}, failed),
              "presets: 3\npreset 0 P0\npreset 1: -23\npreset 2 P2\nwait 0\nstop: 1\n");
    EXPECT_EQ(failed, 1u) << "a name the driver could not give";
    ptz.presetCount = -1;
    EXPECT_EQ(RunActions(ptz, {"presets"}, failed), "presets: -1\n");
    EXPECT_EQ(failed, 1u);
}

} // namespace
} // namespace fennwick_host
