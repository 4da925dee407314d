#include "ptz/CBasePTZControl.h"
#include "ptz/CPtzCapabilities.h"
#include "ptz/CScaleConverter.h"

#include "ptz/PtzResult.h"
#include "support/FakeDriver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace talvex {
namespace {

using test::WaitUntil;

// A worker that records what it performs and can be held busy, so that host
// calls pile up in the queue.
class RecordingComm : public CBasePTZComm {
public:
    using CBasePTZComm::CBasePTZComm;
    ~RecordingComm() override { Close(); }

    void Hold() { m_gate.Reset(); }
    void Release() { m_gate.Set(); }
    std::vector<CPTZMessage> Performed() {
        std::lock_guard lock(m_mutex);
        return m_performed;
    }
    bool PresetSet(const std::string&, uint32_t) override { return false; }
    bool PresetCall(const std::string&, uint32_t, uint32_t) override { return false; }
    bool PresetClear(const std::string&, uint32_t) override { return false; }
    bool ReadPresetList(std::map<uint32_t, std::string>&) override { return false; }

    std::atomic<bool> busy{false};

protected:
    void ProcessMessage(const CPTZMessage& message) override {
        busy = true;
        CEvent* const events[] = {&WorkerStopEvent(), &m_gate};
        CEvent::WaitAny(events, 2, CEvent::kInfinite);
        std::lock_guard lock(m_mutex);
        m_performed.push_back(message);
        busy = false;
    }

private:
    CManualEvent m_gate;
    std::mutex m_mutex;
    std::vector<CPTZMessage> m_performed;
};

class TestControl : public CBasePTZControl {
public:
    TestControl(IDriver* driver, const char* capabilities)
        : CBasePTZControl(driver, 0), m_capabilities(CPtzCapabilities::FromText(capabilities)) {}
    ~TestControl() override { Close(); }

    std::unique_ptr<CBasePTZComm> CreateComm() override {
        auto comm = std::make_unique<RecordingComm>(GetDriver(), 0, m_capabilities);
        comm->Release();
        m_recording = comm.get();
        return comm;
    }
    void OnMoveCommand() override { ++moveCommands; }
    int32_t PTZ_GetPrepositionCount() override { return 3; }
    int32_t PTZ_GetPrepositionName(int32_t, char*, uint32_t) override { return kPtzPresetOutOfRange; }
    int32_t PTZ_MoveToPreposition(uint32_t, const char*) override { return kPtzSuccess; }
    int32_t PTZ_SavePreposition(const char*) override { return kPtzSuccess; }
    int32_t PTZ_DeletePreposition(const char*) override { return kPtzSuccess; }
    int32_t PTZ_GetCurrentPreposition(char*, uint32_t) override { return 0; }

    RecordingComm& Recording() { return *m_recording; }
    int moveCommands = 0;

private:
    CPtzCapabilities m_capabilities;
    RecordingComm* m_recording = nullptr;
};

constexpr const char* kFull = "Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16";

class CBasePTZControlTest : public ::testing::Test {
protected:
    // Opens the control and keeps its worker busy with one move.
    void OpenBusy(const char* capabilities = kFull) {
        control = std::make_unique<TestControl>(&driver, capabilities);
        ASSERT_TRUE(control->Open());
        control->Recording().Hold();
        ASSERT_EQ(control->PTZ_Move(CPTZMessage::kUp, 1), kPtzSuccess);
        ASSERT_TRUE(WaitUntil([&] { return control->Recording().busy.load(); }));
    }
    std::vector<CPTZMessage> DrainAfterBusy() {
        control->Recording().Release();
        WaitUntil([&] { return control->Recording().QueuedCount() == 0 && !control->Recording().busy; });
        std::vector<CPTZMessage> performed = control->Recording().Performed();
        performed.erase(performed.begin()); // the move that kept the worker busy
        return performed;
    }

    test::FakeDriver driver;
    std::unique_ptr<TestControl> control;
};

TEST_F(CBasePTZControlTest, TenMovesWhileBusyLeaveTheLastOne) {
    OpenBusy();
    for (uint32_t speed = 1; speed <= 10; ++speed)
        EXPECT_EQ(control->PTZ_Move(CPTZMessage::kLeft, speed), kPtzSuccess);
    const std::vector<CPTZMessage> performed = DrainAfterBusy();
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].b, 10u);
}

TEST_F(CBasePTZControlTest, AStopRemovesPendingPanTiltMovesButKeepsAZoomMove) {
    OpenBusy();
    control->PTZ_Move(CPTZMessage::kLeft, 8);
    control->PTZ_ZoomIn(4);
    control->PTZ_Move(CPTZMessage::kRight, 8);
    EXPECT_EQ(control->PTZ_Move(CPTZMessage::kRight, 0), kPtzSuccess);
    const std::vector<CPTZMessage> performed = DrainAfterBusy();
    ASSERT_EQ(performed.size(), 2u);
    EXPECT_EQ(performed[0].type, CPTZMessage::kMove);
    EXPECT_EQ(performed[0].c, uint32_t(CPTZMessage::kZoomIn));
    EXPECT_EQ(performed[1].type, CPTZMessage::kStop);
    EXPECT_EQ(performed[1].a, uint32_t(CPTZMessage::kStopPanTilt));
}

// Every axis moves with a hundred moves queued behind the busy worker: no pan,
// tilt or zoom move is left, one stop goes for each moving axis in order, and a
// second stop adds none.
TEST_F(CBasePTZControlTest, AStopBehindAHundredMovesIsPerformedNextForEachMovingAxis) {
    OpenBusy();
    for (int move = 0; move < 100; ++move) {
        control->PTZ_Move(move % 8, 1 + move % 16);
        control->PTZ_ZoomOut(1 + move % 16);
    }
    control->PTZ_FocusNear(3);
    control->PTZ_IrisOpen(3);
    EXPECT_EQ(control->PTZ_Stop(), kPtzSuccess);
    EXPECT_EQ(control->PTZ_Stop(), kPtzSuccess); // nothing moves any more
    std::vector<std::pair<int32_t, uint32_t>> performed;
    for (const CPTZMessage& message : DrainAfterBusy())
        if (message.type != CPTZMessage::kFocus && message.type != CPTZMessage::kIris) // not dropped by a stop
            performed.emplace_back(message.type, message.a);
    const std::vector<std::pair<int32_t, uint32_t>> expected = {
        {CPTZMessage::kStop, CPTZMessage::kStopPanTilt}, {CPTZMessage::kStop, CPTZMessage::kStopZoom},
        {CPTZMessage::kStop, CPTZMessage::kStopIris}, {CPTZMessage::kStop, CPTZMessage::kStopFocus}};
    EXPECT_EQ(performed, expected);
}

struct CallCase {
    const char* name;
    const char* capabilities;
    int32_t (*call)(CBasePTZControl&);
    int32_t expected;
    size_t queued;
};

const CallCase kCallCases[] = {
    {"stop without a move", kFull, [](CBasePTZControl& c) { return c.PTZ_Move(CPTZMessage::kLeft, 0); }, 1, 0},
    {"no direction", kFull, [](CBasePTZControl& c) { return c.PTZ_Move(CPTZMessage::kNoDirection, 5); }, -3, 0},
    {"direction beyond", kFull, [](CBasePTZControl& c) { return c.PTZ_Move(11, 5); }, -3, 0},
    {"negative direction", kFull, [](CBasePTZControl& c) { return c.PTZ_Move(-1, 5); }, -3, 0},
    {"zoom without zoom", "Pan=1", [](CBasePTZControl& c) { return c.PTZ_ZoomIn(4); }, -19, 0},
    {"move without pan or tilt", "Zoom=1", [](CBasePTZControl& c) { return c.PTZ_Move(CPTZMessage::kUp, 4); }, -19, 0},
    {"tilt only moves", "Tilt=1", [](CBasePTZControl& c) { return c.PTZ_Move(CPTZMessage::kUp, 4); }, 1, 1},
    {"focus without focus", "Pan=1", [](CBasePTZControl& c) { return c.PTZ_FocusFar(4); }, -19, 0},
    {"iris without iris", "Pan=1", [](CBasePTZControl& c) { return c.PTZ_IrisClose(4); }, -19, 0},
    {"centre without centre", "Pan=1", [](CBasePTZControl& c) { return c.PTZ_Center(1, 2, 0); }, -19, 0},
    {"unzoom without unzoom", "Zoom=1", [](CBasePTZControl& c) { return c.PTZ_Unzoom(0); }, -19, 0},
    {"area zoom without it", "Zoom=1", [](CBasePTZControl& c) { return c.PTZ_AreaZoom(1, 2, 200, 0); }, -19, 0},
    {"zoom speed 0 idle", kFull, [](CBasePTZControl& c) { return c.PTZ_ZoomOut(0); }, 1, 0},
    {"centre", kFull, [](CBasePTZControl& c) { return c.PTZ_Center(1, 2, 0); }, 1, 1},
};

TEST_F(CBasePTZControlTest, CallsAnswerTheirResultCodes) {
    for (const CallCase& c : kCallCases) {
        SCOPED_TRACE(c.name);
        control = std::make_unique<TestControl>(&driver, c.capabilities);
        ASSERT_TRUE(control->Open());
        control->Recording().Hold();
        EXPECT_EQ(c.call(*control), c.expected);
        RecordingComm& recording = control->Recording();
        if (c.queued)
            EXPECT_TRUE(WaitUntil([&] { return recording.busy.load(); }));
        else
            EXPECT_FALSE(recording.QueuedCount() > 0 || recording.busy);
        EXPECT_EQ(control->moveCommands, int(c.queued));
        recording.Release();
    }
}

TEST_F(CBasePTZControlTest, AClosedControlAnswersNotOpen) {
    TestControl closed(&driver, kFull);
    EXPECT_FALSE(closed.PTZ_IsSupported());
    EXPECT_EQ(closed.PTZ_Move(CPTZMessage::kLeft, 3), kPtzNotOpen);
    EXPECT_EQ(closed.PTZ_ZoomIn(3), kPtzNotOpen);
    EXPECT_EQ(closed.PTZ_FocusNear(3), kPtzNotOpen);
    EXPECT_EQ(closed.PTZ_IrisOpen(3), kPtzNotOpen);
    EXPECT_EQ(closed.PTZ_Center(0, 0, 0), kPtzNotOpen);
    EXPECT_EQ(closed.PTZ_Stop(), kPtzNotQueued);
    EXPECT_EQ(closed.PTZ_Unzoom(0), kPtzNotQueued);
    EXPECT_EQ(closed.PTZ_AreaZoom(0, 0, 100, 0), kPtzNotQueued);
    ipcapture::PTZ_CAPABILITIES record{};
    EXPECT_EQ(closed.PTZ_GetCapabilities(&record), kPtzNotOpen);
    EXPECT_TRUE(closed.PTZ_IsSuccess(1));
    EXPECT_FALSE(closed.PTZ_IsSuccess(-1));
}

TEST_F(CBasePTZControlTest, CapabilitiesFillTheHostRecord) {
    TestControl open(&driver, "Pan=1;Zoom=1;Unzoom=1;Preset=16");
    ASSERT_TRUE(open.Open());
    EXPECT_EQ(open.PTZ_GetCapabilities(nullptr), kPtzInvalidArgument);
    ipcapture::PTZ_CAPABILITIES record;
    std::memset(&record, 0xFF, sizeof record);
    EXPECT_EQ(open.PTZ_GetCapabilities(&record), kPtzSuccess);
    EXPECT_EQ(record.pan, 1);
    EXPECT_EQ(record.tilt, 0);
    EXPECT_EQ(record.zoom, 1);
    EXPECT_EQ(record.unzoom, 1);
    EXPECT_EQ(record.areaZoom, 0);
    EXPECT_EQ(record.maxPresetCount, 16u);
    EXPECT_EQ(record.currentPresetCount, 3u);
    EXPECT_TRUE(open.PTZ_IsSupported());
    TestControl presetsOnly(&driver, "Preset=16");
    ASSERT_TRUE(presetsOnly.Open());
    EXPECT_FALSE(presetsOnly.PTZ_IsSupported());
}

struct TextCase {
    const char* in;
    const char* out;
};

// Flags are read only from the value 1 and written in property order; the
// zoom-dependent and pan/tilt-dependent flags only with their axis.
const TextCase kTextCases[] = {
    {"", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Pan=1;Tilt=1;Zoom=1;Focus=1;Iris=1;AreaZoom=1;Center=1;Unzoom=1;Preset=16",
     "Pan=1; Tilt=1; Zoom=1; Focus=1; Iris=1; Unzoom=1; AreaZoom=1; Center=1; Preset=16"},
    {"Pan=1; Tilt=0\tZoom=1\r\nPreset=256", "Pan=1; Tilt=0; Zoom=1; Focus=0; Iris=0; Preset=256"},
    {"Pan=yes;Tilt=true;Zoom=2;Preset=x7", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Focus=1;;  ;Iris=1;Bogus=1;Preset=-3", "Pan=0; Tilt=0; Zoom=0; Focus=1; Iris=1; Preset=0"},
    {"Unzoom=1;AreaZoom=1;Center=1", "Pan=0; Tilt=0; Zoom=0; Focus=0; Iris=0; Preset=0"},
    {"Tilt=1;Center=1;Unzoom=1", "Pan=0; Tilt=1; Zoom=0; Focus=0; Iris=0; Center=1; Preset=0"},
};

TEST(CPtzCapabilitiesTest, ReadsAndWritesTheCapabilityText) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(c.in);
        const std::string written = CPtzCapabilities::FromText(c.in).ToText();
        EXPECT_EQ(written, c.out);
        EXPECT_EQ(CPtzCapabilities::FromText(written).ToText(), written);
    }
}

struct ScaleCase {
    uint32_t low, high, value, expected;
    uint32_t sourceLow = 0, sourceHigh = 0; // the host's 1..16 unless set
};

// Host speeds 1..16 onto the camera ranges, ends and middle; outside values clamp;
// an empty source range gives the middle of the target.
const ScaleCase kScaleCases[] = {
    {4, 20, 1, 4},    {4, 20, 16, 20},  {4, 20, 8, 11},  {4, 20, 0, 4},    {4, 20, 99, 20},
    {2, 8, 1, 2},     {2, 8, 16, 8},    {1, 8, 16, 8},   {1, 24, 1, 1},    {1, 24, 16, 24},
    {1, 100, 16, 100}, {1, 100, 1, 1},  {20, 4, 1, 4},   {5, 5, 16, 5},    {0, 9, 16, 9},
    {4, 20, 1, 12, 7, 7},
};

TEST(CScaleConverterTest, MapsTheHostScaleOntoTheTargetRange) {
    for (const ScaleCase& c : kScaleCases) {
        CScaleConverter converter;
        if (c.sourceHigh != 0)
            converter.SetSourceRange(c.sourceLow, c.sourceHigh);
        converter.SetTargetRange(c.low, c.high);
        EXPECT_EQ(converter.Convert(c.value), c.expected) << c.low << ".." << c.high << " at " << c.value;
    }
}

} // namespace
} // namespace talvex
