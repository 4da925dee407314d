#include "device/CSonyCameraProperties.h"

#include "unit/http/CamsimFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

namespace talvex::test {
namespace {

using PropertyTexts = std::map<uint32_t, std::string>;

PropertyTexts Texts(const std::vector<DeviceProperty>& properties) {
    PropertyTexts texts;
    for (const DeviceProperty& property : properties)
        texts[property.id] = property.value;
    return texts;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ",") + name;
    return text;
}

// What a camera's answers give beyond its identification answer.
struct ModelRow {
    const char* model;
    uint32_t inputs;
    uint32_t outputs;
    size_t streams;
    const char* maximal;
    const char* minimal;
    const char* frameRates;
    const char* recordingSizes;
};

void PrintTo(const ModelRow& row, std::ostream* out) { *out << row.model; }

class CameraPropertiesTest : public CamsimFixture {
protected:
    // A fetch that must succeed without a failure of the device.
    void Fetch(CSonyCameraProperties& properties) {
        uint32_t reason = 99;
        ASSERT_TRUE(properties.Fetch(reason)) << properties.GetErrorText();
        EXPECT_EQ(reason, uint32_t(kPropertiesNoFailure));
    }
    CameraFacts Fetched() {
        CSonyCameraProperties properties(Device(), false);
        Fetch(properties);
        return properties.GetFacts();
    }
};

class CameraPropertiesPerModel : public CameraPropertiesTest, public ::testing::WithParamInterface<ModelRow> {};

TEST_P(CameraPropertiesPerModel, PropertiesAddToWhatIdentificationGives) {
    const ModelRow& row = GetParam();
    StartCamera(row.model, camsim::AuthMode::Digest);
    CSonyDeviceInfo identified;
    const auto answer = m_camera->State().Inquiry({"system", "camera"});
    ASSERT_TRUE(identified.Parse(answer ? *answer : m_camera->State().Inquiry({"sysinfo", "camera"}).value_or("")));

    const auto answersBefore = m_camera->State().Inquiry({"camera"});
    CSonyCameraProperties properties(Device(), false);
    ASSERT_NO_FATAL_FAILURE(Fetch(properties));

    PropertyTexts texts = Texts(properties.WriteProperties());
    // Straight from the identification answer.
    EXPECT_EQ(texts[1], std::to_string(identified.GetVideoStandard()));
    EXPECT_EQ(texts[2], std::to_string(identified.GetGeneration()));
    EXPECT_EQ(texts[3], identified.GetSoftwareVersion().text);
    EXPECT_EQ(texts[5], identified.HasPrivacyMasking() ? "1" : "0");
    EXPECT_EQ(texts[9], Joined(identified.GetAudioInputCodecs()));
    EXPECT_EQ(texts[10], Joined(identified.GetAudioOutputCodecs()));
    EXPECT_EQ(texts[11], identified.HasEdgeStorage() ? "1" : "0");
    EXPECT_EQ(texts[18], identified.GetOperationMode());
    // Asked of the camera.
    const CameraFacts& facts = properties.GetFacts();
    EXPECT_EQ(facts.inputs, row.inputs);
    EXPECT_EQ(facts.outputs, row.outputs);
    EXPECT_EQ(facts.streams.size(), row.streams);
    EXPECT_EQ(texts[6], row.maximal);
    EXPECT_EQ(texts[7], row.minimal);
    EXPECT_EQ(texts[8], row.frameRates);
    EXPECT_EQ(texts[12], row.recordingSizes);
    EXPECT_EQ(texts[13].empty(), row.streams < 2);
    EXPECT_EQ(texts[14].empty(), row.streams < 3);
    // Probing sizes leaves the camera as it was.
    EXPECT_EQ(m_camera->State().Inquiry({"camera"}), answersBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Generations, CameraPropertiesPerModel,
    ::testing::Values(
        ModelRow{"SNC-Z20N", 1, 1, 1, "736x480", "160,120", "1,2,3,4,5,6,8,10,15,20,25", "160,120;320,240;640,480;736,480;"},
        ModelRow{"SNC-RZ25N", 1, 1, 1, "640x480", "160,120", "1,2,3,4,5,6,8,10,15,20,30", "160,120;320,240;384,288;480,360;640,480;"},
        ModelRow{"SNC-DF50P", 1, 1, 1, "640x480", "160,120", "1,2,3,4,5,6,8,12,16,20,25", "160,120;320,240;384,288;640,480;"},
        ModelRow{"SNC-RH124", 1, 1, 1, "640x480", "320,240", "1,2,3,4,5,6,8,10,15,20,25,30", "320,240;640,480;"},
        ModelRow{"SNC-CH210", 1, 1, 3, "2048x1536", "320,240", "1,2,3,4,5,6,8,10,15,20,25,30", "320,240;640,480;1280,720;1600,1200;1920,1080;2048,1536;"},
        ModelRow{"SNT-EX104", 4, 2, 2, "720x480", "352,240", "1,2,3,4,5,6,8,10,15,20,30", "352,240;640,480;720,480;"},
        ModelRow{"SNC-VB630", 1, 1, 3, "1920x1080", "320,240", "1,2,3,4,5,6,8,10,15,20,25,30", "320,240;640,360;640,480;1024,576;1280,720;1920,1080;"},
        ModelRow{"SNC-WR630", 2, 1, 3, "1920x1080", "320,240", "1,2,3,4,5,6,8,10,15,20,25,30", "320,240;640,360;640,480;1024,576;1280,720;1920,1080;"},
        ModelRow{"SNC-VB770", 2, 2, 3, "3840x2160", "320,240", "1,2,3,4,5,6,8,10,13,15,20,25,30", "320,240;640,360;640,480;1024,576;1280,720;1920,1080;2560,1440;3840,2160;"}),
    [](const auto& info) {
        std::string name = info.param.model;
        std::erase(name, '-');
        return name;
    });

TEST_F(CameraPropertiesTest, ACameraWithoutSensorInquiryStillGivesItsProperties) {
    StartCamera("SNC-CH210", camsim::AuthMode::Digest);
    camsim::HttpFaults faults;
    faults.failInquiry = "sensor";
    Http().SetFaults(faults);
    const CameraFacts facts = Fetched();
    EXPECT_EQ(facts.inputs, 0u);
    EXPECT_EQ(facts.outputs, 1u);
}

TEST_F(CameraPropertiesTest, ASecondStreamThatCannotBeExaminedLeavesOne) {
    camsim::CameraOptions options;
    options.model = "SNC-VB630";
    options.user = "admin";
    options.password = "secret";
    options.capabilityValues = {{"ImageSize2", ""}};
    m_camera = std::make_unique<camsim::Camera>(options);
    std::string error;
    ASSERT_TRUE(m_camera->Start(error)) << error;
    EXPECT_EQ(Fetched().streams.size(), 1u);
}

TEST_F(CameraPropertiesTest, CancelEndsTheFetchBetweenRequests) {
    StartCamera("SNC-CH210", camsim::AuthMode::None);
    camsim::HttpFaults faults;
    faults.delayMs = 200;
    Http().SetFaults(faults);
    CSonyCameraProperties properties(Device(), false);
    uint32_t reason = 99;
    bool fetched = true;
    std::thread fetch([&] { fetched = properties.Fetch(reason); });
    // Let identification and the I/O inquiries through, then cancel amid the size probing.
    ASSERT_TRUE(WaitUntil([&] { return Http().Requests().size() >= 4; }, std::chrono::seconds(10)));
    const auto cancelledAt = std::chrono::steady_clock::now();
    properties.Cancel();
    fetch.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, std::chrono::milliseconds(faults.delayMs));
    EXPECT_FALSE(fetched);
    // The abandoned request is no reason of the device's.
    EXPECT_EQ(reason, uint32_t(kPropertiesNoFailure));
    EXPECT_EQ(properties.GetErrorText(), "the query was cancelled");
    // At most the request in flight arrives after the cancel.
    const size_t seen = Http().Requests().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * faults.delayMs));
    EXPECT_LE(Http().Requests().size(), seen + 1);
}

} // namespace
} // namespace talvex::test
