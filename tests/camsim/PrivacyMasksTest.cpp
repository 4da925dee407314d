// What only camsim's privacy masks do: each form's inquiry reflecting the mask
// commands of its CGI (and not another's), and what the camera ignores. The driver meets one form
// end to end (HostQueryCommandTest).
#include "PrivacyMasks.h"

#include "Camera.h"
#include "support/LoopbackHttp.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using namespace talvex::test;

struct MaskCase {
    std::string name;
    std::string model;
    std::string inquiry;                // the group that reports the masks
    std::vector<std::string> commands;  // each answered 200
    std::vector<std::string> reported;  // parts of the inquiry's answer afterwards
    std::vector<std::string> unreported;
};

void PrintTo(const MaskCase& value, std::ostream* out) { *out << value.name; }

class PrivacyMasksTest : public ::testing::TestWithParam<MaskCase> {
protected:
    void SetUp() override {
        CameraOptions options;
        options.model = GetParam().model;
        options.auth = AuthMode::None;
        m_camera = std::make_unique<Camera>(options);
        std::string error;
        ASSERT_TRUE(m_camera->Start(error)) << error;
    }
    std::string Get(const std::string& target) { return LoopbackGet(m_camera->Http().Port(), target, 2s); }

    std::unique_ptr<Camera> m_camera;
};

TEST_P(PrivacyMasksTest, InquiryReflectsTheCommandsItTakes) {
    for (const std::string& command : GetParam().commands)
        EXPECT_EQ(StatusOf(Get(command)), 200) << command;
    const std::string answer = BodyOf(Get("/command/inquiry.cgi?inq=" + GetParam().inquiry));
    for (const std::string& part : GetParam().reported)
        EXPECT_NE(answer.find(part), std::string::npos) << part << " in " << answer;
    for (const std::string& part : GetParam().unreported)
        EXPECT_EQ(answer.find(part), std::string::npos) << part << " in " << answer;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PrivacyMasksTest,
    ::testing::Values(
        MaskCase{"RectanglesSwitchedEachThroughCameraCgi", "SNC-RZ25N", "fcb",
                 {"/command/camera.cgi?PrivacyMaskPosition=2,65,49,320,240&PrivacyDispEach=2,on",
                  "/command/camera.cgi?PrivacyDispEach=1,off"},
                 {"PrivacyMaskPosition=1,10,10,40,30,2,65,49,320,240,3,0,0,0,0,", ",8,0,0,0,0&PrivacyMonitor=2"},
                 {"PrivacyDisplay"}},
        MaskCase{"RectanglesInADisplayListThroughMaskingCgi", "SNC-VB630", "masking",
                 {"/command/masking.cgi?PrivacyMaskPosition=3,1,1,8,8&PrivacyDisplay=2,3",
                  "/command/camera.cgi?PrivacyMaskPosition=1,5,5,5,5"},
                 {"PrivacyMaxNum=8&PrivacyMaskPosition=1,100,100,200,150,2,400,300,80,60,3,1,1,8,8,",
                  "&PrivacyDisplay=2,3"},
                 {"PrivacyMonitor"}},
        MaskCase{"PolygonsAndAnEmptyDisplayList", "SNC-VB770", "masking",
                 {"/command/masking.cgi?PrivacyMaskVertex2=0,0,10,0,10,10,0,10&PrivacyDisplay="},
                 {"PrivacyMaskVertex1=100,100,300,100,300,200,100,200&PrivacyMaskVertex2=0,0,10,0,10,10,0,10&",
                  "&PrivacyDisplay="},
                 {"PrivacyDisplay=1", "PrivacyMaskPosition"}},
        MaskCase{"WhatTheCameraCannotTakeIsIgnored", "SNC-VB630", "masking",
                 {"/command/masking.cgi?PrivacyMaskPosition=9,1,1,8,8", "/command/masking.cgi?PrivacyMaskPosition=2,1,1,8",
                  "/command/masking.cgi?PrivacyMaskPosition=2,1,1,8,x", "/command/masking.cgi?PrivacyMaskVertex2=1,1,2,1,2,2,1,2",
                  "/command/masking.cgi?PrivacyDispEach=2,maybe", "/command/masking.cgi?PrivacyDisplay=2,9"},
                 {"PrivacyMaskPosition=1,100,100,200,150,2,400,300,80,60,3,0,0,0,0,", "&PrivacyDisplay=1"},
                 {"PrivacyMaxNum=9", "PrivacyMaskVertex"}}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace camsim
