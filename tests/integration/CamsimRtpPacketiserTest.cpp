// The simulated camera's clip cutting and RTP packetisers, checked field by field.
#include "RtpPacketisers.h"

#include <gtest/gtest.h>

#include "MediaClips.h"
#include "RtspServer.h"

#include <fstream>
#include <iterator>

namespace camsim {
namespace {

Bytes ReadClip(const std::string& name) {
    std::ifstream file(std::string(CAMSIM_CLIPS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(CamsimClips, EveryClipCutsIntoTwentyFramesWithKeyFramesEverySecond) {
    ClipLibrary library(CAMSIM_CLIPS_DIR);
    for (VideoCodec codec : {VideoCodec::H264, VideoCodec::Mpeg4, VideoCodec::Jpeg}) {
        for (uint16_t width : {320, 640}) {
            const auto clip = library.Get(codec, width);
            ASSERT_TRUE(clip);
            EXPECT_EQ(clip->width, width);
            ASSERT_EQ(clip->frames.size(), 2 * Clip::FRAME_RATE);
            EXPECT_TRUE(clip->frames[0].key);
            EXPECT_TRUE(clip->frames[Clip::FRAME_RATE].key);
            if (codec != VideoCodec::Jpeg)
                EXPECT_FALSE(clip->frames[1].key);
        }
    }
    EXPECT_EQ(library.Get(VideoCodec::H264, 100)->width, 320); // smallest when none fits
}

TEST(CamsimPacketisers, H264ParameterSetsInStapAAndLargeUnitsInFuA) {
    ClipFrame frame;
    frame.key = true;
    frame.units = {Bytes{0x67, 1, 2, 3}, Bytes{0x68, 4}, Bytes(3000, 0x11)};
    frame.units[2][0] = 0x65; // IDR, NRI 3
    const auto packets = PacketiseH264(frame, 1400);
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0].bytes, (Bytes{0x78, 0, 4, 0x67, 1, 2, 3, 0, 2, 0x68, 4}));
    Bytes rebuilt{uint8_t((packets[1].bytes[0] & 0xE0) | (packets[1].bytes[1] & 0x1F))};
    for (size_t i = 1; i < packets.size(); ++i) {
        const auto& bytes = packets[i].bytes;
        EXPECT_EQ(bytes[0] & 0x1F, 28);
        EXPECT_EQ((bytes[1] & 0x80) != 0, i == 1);
        EXPECT_EQ((bytes[1] & 0x40) != 0, i == 3);
        EXPECT_EQ(packets[i].marker, i == 3);
        EXPECT_LE(bytes.size(), 1400u);
        rebuilt.insert(rebuilt.end(), bytes.begin() + 2, bytes.end());
    }
    EXPECT_EQ(rebuilt, frame.units[2]);
}

TEST(CamsimPacketisers, Mpeg4KeyFramesCarryTheConfiguration) {
    const Bytes configuration{0, 0, 1, 0xB0, 1};
    ClipFrame key{{Bytes{0, 0, 1, 0xB6, 0x10, 9}}, true};
    ClipFrame other{{Bytes{0, 0, 1, 0xB6, 0x50, 9}}, false};
    const auto keyPackets = PacketiseMpeg4(key, configuration);
    ASSERT_EQ(keyPackets.size(), 1u);
    EXPECT_EQ(keyPackets[0].bytes, (Bytes{0, 0, 1, 0xB0, 1, 0, 0, 1, 0xB6, 0x10, 9}));
    EXPECT_TRUE(keyPackets[0].marker);
    EXPECT_EQ(PacketiseMpeg4(other, configuration)[0].bytes, other.units[0]);
}

TEST(CamsimPacketisers, JpegHeadersTablesAndContinuousOffsets) {
    const auto clip = CutJpeg(ReadClip("clip-320x240.mjpeg"));
    ASSERT_TRUE(clip);
    const Bytes& picture = clip->frames[0].units[0];
    const auto packets = PacketiseJpeg(picture, 1000);
    ASSERT_GT(packets.size(), 1u);
    const Bytes& first = packets[0].bytes;
    EXPECT_EQ(first[4], 1);   // 4:2:0
    EXPECT_EQ(first[5], 255); // tables in band
    EXPECT_EQ(first[6], 320 / 8);
    EXPECT_EQ(first[7], 240 / 8);
    EXPECT_EQ((first[10] << 8) | first[11], 128);
    Bytes scan(first.begin() + 8 + 4 + 128, first.end());
    for (size_t i = 1; i < packets.size(); ++i) {
        const Bytes& bytes = packets[i].bytes;
        const size_t offset = (size_t(bytes[1]) << 16) | (size_t(bytes[2]) << 8) | bytes[3];
        EXPECT_EQ(offset, scan.size());
        scan.insert(scan.end(), bytes.begin() + 8, bytes.end());
        EXPECT_EQ(packets[i].marker, i + 1 == packets.size());
    }
    // The scan runs from after the SOS segment to before EOI.
    EXPECT_EQ(Bytes(picture.end() - 2 - std::ptrdiff_t(scan.size()), picture.end() - 2), scan);
    EXPECT_TRUE(PacketiseJpeg(Bytes{0xFF, 0xD8, 0xFF, 0xD9}).empty());
}

TEST(CamsimPacketisers, MuLawAndRtcp) {
    EXPECT_EQ(LinearToMuLaw(0), 0xFF);
    EXPECT_EQ(LinearToMuLaw(-1), 0x7F);
    EXPECT_EQ(LinearToMuLaw(32767), 0x80);
    EXPECT_EQ(BuildRtcpBye(0x01020304), (Bytes{0x81, 203, 0, 1, 1, 2, 3, 4}));
    const Bytes report = BuildSenderReport(1, 0x1122334455667788ull, 7, 8, 9);
    ASSERT_EQ(report.size(), 28u);
    EXPECT_EQ(report[1], 200);
    EXPECT_EQ(report[10], 0x33); // middle of the NTP time: what receivers echo as LSR
    const Bytes packet = BuildRtpPacket({26, true, 0x0102, 0x03040506, 0x0708090A}, Bytes{0xAA});
    EXPECT_EQ(packet, (Bytes{0x80, 0x9A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xAA}));
}

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

} // namespace
} // namespace camsim
