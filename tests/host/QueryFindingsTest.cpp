#include "QueryFindings.h"

#include <gtest/gtest.h>

namespace fennwick_host {
namespace {

using talvex::ipcapture::kDevicePropertyNumber;
using talvex::ipcapture::kDevicePropertyText;

DeviceProfile Connection() {
    DeviceProfile connection;
    connection.address = "192.0.2.9";
    connection.port = 8080;
    connection.user = "admin";
    connection.password = "pass word";
    return connection;
}

// What open and record read back is what the query found, texts verbatim.
TEST(QueryFindings, ProfileReadsBackAsTheQueriedDevice) {
    QueryFindings findings;
    ASSERT_TRUE(findings.SetDeviceIdentity("Sony", "SNC-Z20N", "SNC-Z20N Network Camera"));
    ASSERT_TRUE(findings.SetDeviceProperty(1, "Device's video standard", kDevicePropertyNumber, "1"));
    ASSERT_TRUE(findings.SetDeviceProperty(2, "Generation of Sony device", kDevicePropertyNumber, "1"));
    ASSERT_TRUE(findings.SetDeviceProperty(4, "PTZ capabilities", kDevicePropertyText, "Pan=0; Zoom=1"));
    ASSERT_TRUE(findings.SetDeviceProperty(15, "Supported frame-rates map (Rec)", kDevicePropertyText, "1=1;8=8;"));
    ASSERT_TRUE(findings.SetDeviceProperty(18, "OperationMode", kDevicePropertyText, ""));
    ASSERT_TRUE(findings.SetCapabilityValue(3, 2));

    DeviceProfile profile;
    const auto error = ParseDeviceProfile(findings.ProfileText(Connection()), profile);
    ASSERT_FALSE(error) << *error;
    EXPECT_EQ(profile.address, "192.0.2.9");
    EXPECT_EQ(profile.port, 8080);
    EXPECT_EQ(profile.password, "pass word");
    EXPECT_EQ(profile.model, "SNC-Z20N");
    EXPECT_EQ(profile.inputs, 0u) << "the driver leaves out a count of 0";
    EXPECT_EQ(profile.outputs, 2u);
    EXPECT_EQ(profile.codecType, 1u) << "a generation 1 camera serves motion JPEG only";
    EXPECT_EQ(profile.properties, (std::map<uint32_t, std::string>{
                                      {1, "1"}, {2, "1"}, {4, "Pan=0; Zoom=1"}, {15, "1=1;8=8;"}, {18, ""}}));
}

// A text that would break the profile's one-entry-a-line form fails the
// query (results not saved) instead of writing a profile that reads back wrong.
TEST(QueryFindings, RefusesEntriesAProfileCannotHold) {
    QueryFindings findings;
    const struct {
        const char* what;
        bool accepted;
    } entries[] = {
        {"line feed in a value", findings.SetDeviceProperty(3, "Firmware version", kDevicePropertyText, "1.0\n2=7")},
        {"null value", findings.SetDeviceProperty(3, "Firmware version", kDevicePropertyText, nullptr)},
        {"line feed in a capability text", findings.SetCapabilityText("Audio Input Parameters", "Count=1;\n")},
    };
    for (const auto& entry : entries)
        EXPECT_FALSE(entry.accepted) << entry.what;
    size_t accepted = 0;
    while (accepted <= kMaxQueryEntries && findings.SetCapabilityValue(27, 1))
        ++accepted;
    EXPECT_EQ(accepted, kMaxQueryEntries);
}

} // namespace
} // namespace fennwick_host
