// fennwick-camsim's command-line flags for its RTSP server, its camera quirks
// and its media faults: each fills its option, and a flag without its value
// or with a bad one is refused by name.
#include "HttpMedia.h"
#include "RtspServer.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace camsim {
namespace {

TEST(CamsimRtspCommandLine, FlagsFillOptionsAndFaults) {
    const char* arguments[] = {"camsim", "--rtsp-port", "8554", "--rtsp-codec2", "jpeg", "--rtsp-fault-lose", "5",
                               "--rtsp-fault-reorder", "--model", "x", "--rtsp-port", "70000", "--rtsp-codec1", "vp8"};
    char** argv = const_cast<char**>(arguments);
    const int argc = int(std::size(arguments));
    RtspCommandLine commandLine;
    std::string error;
    EXPECT_EQ(ParseRtspArgument(argc, argv, 1, commandLine, error), 2);
    EXPECT_EQ(ParseRtspArgument(argc, argv, 3, commandLine, error), 2);
    EXPECT_EQ(ParseRtspArgument(argc, argv, 5, commandLine, error), 2);
    EXPECT_EQ(ParseRtspArgument(argc, argv, 7, commandLine, error), 1);
    EXPECT_EQ(ParseRtspArgument(argc, argv, 8, commandLine, error), 0); // not an RTSP flag
    EXPECT_TRUE(commandLine.enabled);
    EXPECT_EQ(commandLine.options.port, 8554);
    EXPECT_EQ(commandLine.options.codecs[1], VideoCodec::Jpeg);
    EXPECT_EQ(commandLine.loseEveryNth, 5u);
    EXPECT_TRUE(commandLine.reorder);
    EXPECT_EQ(ParseRtspArgument(argc, argv, 10, commandLine, error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ParseRtspArgument(argc, argv, 12, commandLine, error), -1);
}

TEST(CamsimQuirkFlags, EachFlagSwitchesItsQuirk) {
    const char* arguments[] = {"camsim", "--rtsp-quirk-content-base", "--rtsp-quirk-bare-sdp",
                               "--rtsp-quirk-seq-restart", "7", "--rtsp-quirk-sei-marker",
                               "--rtsp-quirk-digest-and-basic", "--rtsp-quirk-digest-qop",
                               "--rtsp-quirk-key-frame-bytes", "2000000", "--rtsp-quirk-seq-restart", "x",
                               "--rtsp-quirk-unknown"};
    char** argv = const_cast<char**>(arguments);
    const int argc = int(std::size(arguments));
    RtspCommandLine commandLine;
    std::string error;
    const int taken[] = {1, 1, 2, 1, 1, 1, 2};
    int index = 1;
    for (int expected : taken) {
        ASSERT_EQ(ParseRtspArgument(argc, argv, index, commandLine, error), expected) << argv[index] << error;
        index += expected;
    }
    const RtspQuirks& quirks = commandLine.options.quirks;
    EXPECT_TRUE(quirks.contentBaseWithoutScheme && quirks.bareDescription && quirks.seiWithMarker &&
                quirks.digestAndBasic && quirks.digestQop);
    EXPECT_EQ(quirks.restartSequenceEvery, 7u);
    EXPECT_EQ(quirks.keyFrameBytes, 2000000u);
    EXPECT_EQ(ParseRtspArgument(argc, argv, index, commandLine, error), -1);
    EXPECT_EQ(ParseRtspArgument(argc, argv, index + 2, commandLine, error), -1);
    EXPECT_NE(error.find("--rtsp-quirk-unknown"), std::string::npos);
}

TEST(CamsimCommandLine, MediaFaultFlagsNeedTheirNumbers) {
    const char* arguments[] = {"camsim", "--media-fault-lose", "3", "--media-fault-drop-after", "soon", "--model"};
    char** argv = const_cast<char**>(arguments);
    HttpMediaCommandLine commandLine;
    std::string error;
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 1, commandLine, error), 2);
    EXPECT_EQ(commandLine.loseEveryNth, 3u);
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 3, commandLine, error), -1);
    EXPECT_NE(error.find("--media-fault-drop-after"), std::string::npos);
    EXPECT_EQ(ParseHttpMediaArgument(6, argv, 5, commandLine, error), 0);
    EXPECT_EQ(ParseHttpMediaArgument(2, argv, 1, commandLine, error), -1);
}

} // namespace
} // namespace camsim
