#include "DeviceProfile.h"

#include "support/HostDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace fennwick_host {
namespace {

TEST(DeviceProfile, ReadsNamedKeysAndNumberedProperties) {
    DeviceProfile profile;
    auto error = ParseDeviceProfile("address=192.0.2.5\nport=8080\nuser=admin\npassword=se cret\nmodel=SNC-VB630\n"
                                    "codec=mpeg4\nvideo-channels=2\ninputs=1\noutputs=3\n1=0\n2=6\n",
                                    profile);
    ASSERT_FALSE(error) << *error;
    // Address, port, password, model and outputs: QueryFindings reads them back from its own profile.
    EXPECT_EQ(profile.user, "admin");
    EXPECT_EQ(profile.codecType, 2u);
    EXPECT_EQ(profile.videoChannels, 2u);
    EXPECT_EQ(profile.inputs, 1u);
    EXPECT_EQ(profile.properties, (std::map<uint32_t, std::string>{{1, "0"}, {2, "6"}}));
}

// Comments, blank lines and carriage returns are skipped, named values trimmed,
// property texts kept verbatim, and a later line overrides an earlier one.
TEST(DeviceProfile, LineRules) {
    DeviceProfile profile;
    ASSERT_FALSE(ParseDeviceProfile("# a camera\r\n\r\n   \r\n\t# indented\r\n  model =  SNC-CH110  \r\nport=81\n"
                                    "12= 640x480, 320x240 \n 3 =1.10\r\n2=4\nport=82\n2=6",
                                    profile));
    EXPECT_EQ(profile.model, "SNC-CH110");
    EXPECT_EQ(profile.properties, (std::map<uint32_t, std::string>{{2, "6"}, {3, "1.10"}, {12, " 640x480, 320x240 "}}));
    EXPECT_EQ(profile.port, 82);
}

TEST(DeviceProfile, DefaultsWithoutLines) {
    DeviceProfile profile;
    ASSERT_FALSE(ParseDeviceProfile("", profile));
    EXPECT_EQ(profile.port, 80);
    EXPECT_EQ(profile.codecType, 3u);
    EXPECT_EQ(profile.videoChannels, 1u);
    EXPECT_TRUE(profile.properties.empty());
}

// Each bad line with the part of the error that names its fault.
TEST(DeviceProfile, BadLinesNameTheLineAndTheFault) {
    const std::pair<const char*, const char*> badLines[] = {
        {"just words", "expected KEY=VALUE"},
        {"port=0", "port wants a number from 1 to 65535, not '0'"},
        {"port=65536", "not '65536'"},
        {"port=8o", "not '8o'"},
        {"codec=h265", "codec wants jpeg, mpeg4 or h264, not 'h265'"},
        {"inputs=65", "inputs wants a number from 0 to 64, not '65'"},
        {"video-channels=", "video-channels wants a number from 0 to 64, not ''"},
        {"address=", "address must not be empty"},
        {"colour=red", "unknown key 'colour'"},
        {"=5", "unknown key ''"},
        {"0=x", "'0' is not a property number"},
        {"4294967296=x", "'4294967296' is not a property number"},
        {"12a=x", "'12a' is not a property number"},
    };
    for (const auto& [text, fault] : badLines) {
        DeviceProfile profile;
        auto error = ParseDeviceProfile(std::string("# first\naddress=10.0.0.1\n") + text + "\n", profile);
        ASSERT_TRUE(error) << text;
        EXPECT_TRUE(error->starts_with("line 3: ")) << text << ": " << *error;
        EXPECT_NE(error->find(fault), std::string::npos) << text << ": " << *error;
    }
}

TEST(DeviceProfile, CodecNamesAndNumbers) {
    const std::pair<const char*, std::optional<uint32_t>> names[] = {
        {"jpeg", 1}, {"mjpeg", 1}, {"1", 1}, {"mpeg4", 2}, {"2", 2}, {"h264", 3}, {"3", 3}, {"H264", {}}, {"0", {}}, {"", {}}};
    for (const auto& [name, code] : names)
        EXPECT_EQ(ParseCodecName(name), code) << name;
}

TEST(DeviceProfile, GenerationFillsTheVideoStandardOnlyWhenAbsent) {
    DeviceProfile bare;
    SetGeneration(bare, 6);
    EXPECT_EQ(bare.properties, (std::map<uint32_t, std::string>{{1, "0"}, {2, "6"}}));

    DeviceProfile ntsc;
    ntsc.properties = {{1, "1"}, {2, "4"}, {3, "1.10"}};
    SetGeneration(ntsc, 7);
    EXPECT_EQ(ntsc.properties, (std::map<uint32_t, std::string>{{1, "1"}, {2, "7"}, {3, "1.10"}}));
}

TEST(DeviceProfileFile, LoadsAFileAndNamesItInErrors) {
    const talvex::test::HostDirectory folder;
    std::string path = folder.Path() + "camera.profile";
    std::ofstream(path) << "address=10.1.1.1\nport=http\n";
    DeviceProfile profile;
    auto error = LoadDeviceProfile(path, profile);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "profile " + path + ": line 2: port wants a number from 1 to 65535, not 'http'");
    EXPECT_EQ(profile.address, "10.1.1.1");
    // A missing file is an error too.
    error = LoadDeviceProfile(folder.Path() + "absent", profile);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("cannot read profile"), std::string::npos);
}

TEST(DeviceProfileFile, RefusesFilesAboveTheSizeLimit) {
    const talvex::test::HostDirectory folder;
    std::string path = folder.Path() + "huge.profile";
    std::ofstream(path) << std::string(1025 * 1024, '\n'); // blank lines, 1 KiB above the limit
    DeviceProfile profile;
    auto error = LoadDeviceProfile(path, profile);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("is larger than 1048576 bytes"), std::string::npos) << *error;
}

TEST(DeviceProfile, PtzCapabilitiesFillTheGapsBelowProperty4) {
    DeviceProfile profile;
    SetGeneration(profile, 6);
    SetPtzCapabilities(profile, "Pan=1;Tilt=1;Preset=16");
    const std::map<uint32_t, std::string> filled = {{1, "0"}, {2, "6"}, {3, "(none)"}, {4, "Pan=1;Tilt=1;Preset=16"}};
    EXPECT_EQ(profile.properties, filled);
    profile.properties[3] = "1.10";
    SetPtzCapabilities(profile, "Zoom=1");
    EXPECT_EQ(profile.properties[3], "1.10") << "a stored firmware is kept";
    EXPECT_EQ(profile.properties[4], "Zoom=1");
}

TEST(DeviceProfile, AudioChannelsAreOfferedOnlyWhereTheProfileGivesNone) {
    DeviceProfile profile;
    ASSERT_FALSE(ParseDeviceProfile("102=Count=0; IsStereo=0\n", profile));
    OfferAudioChannels(profile);
    EXPECT_EQ(profile.properties.at(kPropertyAudioInput), "Count=1; IsStereo=0");
    EXPECT_EQ(profile.properties.at(kPropertyAudioOutput), "Count=0; IsStereo=0") << "the profile's own is kept";
}

} // namespace
} // namespace fennwick_host
