#include "HostOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace fennwick_host {
namespace {

using Arguments = std::vector<const char*>;

std::optional<HostOptions> Parse(Arguments arguments, std::string* errorOut = nullptr) {
    arguments.insert(arguments.begin(), "fennwick-host");
    std::string error;
    auto options = ParseHostOptions(int(arguments.size()), arguments.data(), error);
    if (errorOut)
        *errorOut = error;
    return options;
}

// Refused command lines, each with the part of its message that names the fault.
struct Refusal {
    Arguments arguments;
    const char* names;
};

TEST(HostOptions, RefusedCommandLinesNameTheirFault) {
    const Refusal refusals[] = {
        // Commands and the option syntax.
        {{}, "no command given"},
        {{"play", "--profile", "p"}, "unknown command 'play'"},
        {{"open"}, "open needs --profile FILE or --generation N"},
        {{"open", "--profile"}, "at '--profile'"},
        {{"open", "profile", "p"}, "at 'profile'"},
        {{"open", "--profile", "p", "--speed", "3"}, "unknown option --speed"},
        // Options of other commands.
        {{"open", "--profile", "p", "--stream", "rec"}, "unknown option --stream"},
        {{"io", "--generation", "6", "--discard"}, "unknown option --discard"},
        // Numbers out of range.
        {{"open", "--generation", "8"}, "--generation wants a number from 1 to 7, not '8'"},
        {{"open", "--generation", "0"}, "not '0'"},
        {{"record", "--profile", "p", "--out", "d", "--fps", "0"}, "--fps wants a number from 1 to 60, not '0'"},
        {{"record", "--profile", "p", "--out", "d", "--fps", "61"}, "not '61'"},
        {{"record", "--profile", "p", "--out", "d", "--fps", "7.5"}, "not '7.5'"},
        {{"record", "--profile", "p", "--out", "d", "--fps", ""}, "--fps"},
        {{"record", "--profile", "p", "--out", "d", "--quality", "0"}, "--quality wants a number from 1 to 100"},
        {{"record", "--profile", "p", "--out", "d", "--quality", "101"}, "not '101'"},
        {{"record", "--profile", "p", "--out", "d", "--seconds", "0"}, "--seconds wants a number from 1 to 604800"},
        {{"record", "--profile", "p", "--out", "d", "--seconds", "604801"}, "not '604801'"},
        {{"io", "--generation", "6", "--watch", "0"}, "--watch wants a number from 1 to 604800"},
        // Sizes.
        {{"record", "--profile", "p", "--out", "d", "--size", "640"}, "--size wants WIDTHxHEIGHT (each 1 to 65535)"},
        {{"record", "--profile", "p", "--out", "d", "--size", "640x"}, "not '640x'"},
        {{"record", "--profile", "p", "--out", "d", "--size", "x480"}, "not 'x480'"},
        {{"record", "--profile", "p", "--out", "d", "--size", "0x480"}, "not '0x480'"},
        {{"record", "--profile", "p", "--out", "d", "--size", "640x65536"}, "not '640x65536'"},
        // What a recording needs.
        {{"record", "--out", "d"}, "record needs --profile FILE or --generation N"},
        {{"record", "--profile", "p"}, "record needs --out DIR (or --discard)"},
        {{"record", "--profile", "p", "--discard", "--out", "d"}, "--discard writes no files"},
        {{"record", "--profile", "p", "--out", ""}, "--out wants a directory"},
        // Streams, codecs and the options that must precede a stream.
        {{"record", "--profile", "p", "--out", "d", "--stream", "main"}, "not 'main'"},
        {{"record", "--profile", "p", "--out", "d", "--stream", "live:h265"}, "--stream live:h265: the codec"},
        {{"record", "--profile", "p", "--out", "d", "--stream", "live", "--stream", "live:jpeg"},
         "--stream live is given twice"},
        {{"record", "--profile", "p", "--out", "d", "--codec", "vp8"}, "not 'vp8'"},
        {{"record", "--profile", "p", "--out", "d", "--stream", "rec", "--codec", "jpeg"}, "none follows"},
        {{"record", "--generation", "6", "--discard", "--stream", "live", "--motion"}, "add --stream rec"},
        {{"record", "--generation", "6", "--discard", "--stream", "live", "--edge-storage"}, "add --stream rec"},
        // Cameras and outputs.
        {{"record", "--generation", "6", "--discard", "--camera", ":80"}, "HOST[:PORT]"},
        {{"record", "--generation", "6", "--discard", "--camera", "a:0"}, "port 1 to 65535"},
        {{"record", "--generation", "6", "--discard", "--camera", "a:70000"}, "port 1 to 65535"},
        {{"io", "--generation", "6", "--set", "0=on"}, "--set wants OUTPUT=on|off (outputs from 1), not '0=on'"},
        {{"io", "--generation", "6", "--set", "1=yes"}, "not '1=yes'"},
        {{"io", "--generation", "6", "--set", "1"}, "not '1'"},
        {{"ptz", "--generation", "6"}, "ptz needs at least one ACTION after its options"},
        // Audio.
        {{"speak", "--generation", "6"}, "speak needs --file FILE"},
        {{"speak", "--generation", "6", "--file", "a.wav", "--codec", "h264"}, "not 'h264'"},
        {{"speak", "--generation", "6", "--file", "a.wav", "--seconds", "0"}, "--seconds wants a number from 1"},
        {{"speak", "--generation", "6", "--file", "a.wav", "--audio"}, "unknown option --audio"},
        {{"ptz", "--generation", "6", "turn", "left"}, "'turn' is not a ptz action"},
        {{"ptz", "--generation", "6", "stop", "--ptz", "Pan=1"}, "'--ptz' is not a ptz action"},
        {{"ptz", "--generation", "6", "move", "sideways", "4"}, "ptz action 'move' wants left, right"},
        {{"ptz", "--generation", "6", "move", "left"}, "ptz action 'move' wants a speed from 1 to 16"},
        {{"ptz", "--generation", "6", "move", "left", "0"}, "not '0'"},
        {{"ptz", "--generation", "6", "zoom", "in", "17"}, "not '17'"},
        {{"ptz", "--generation", "6", "focus", "in", "3"}, "ptz action 'focus' wants near or far, not 'in'"},
        {{"ptz", "--generation", "6", "center", "10"}, "ptz action 'center' wants X Y"},
        {{"ptz", "--generation", "6", "area-zoom", "1", "2", "big"}, "wants a zoom PERCENT, not 'big'"},
        {{"ptz", "--generation", "6", "preset-call", "Door", "25"}, "not '25'"},
        {{"ptz", "--generation", "6", "preset-save"}, "ptz action 'preset-save' wants a preset NAME"},
        {{"ptz", "--generation", "6", "wait", "-1"}, "ptz action 'wait' wants MS from 0 to 3600000, not '-1'"},
        {{"open", "--generation", "6", "--ptz", "Pan=1"}, "unknown option --ptz"},
        {{"ptz", "stop"}, "ptz needs --profile FILE or --generation N"},
        // Privacy zones and the query.
        {{"record", "--generation", "6", "--discard", "--privacy", "10,10,50"}, "--privacy wants LEFT,TOP,WIDTH,HEIGHT"},
        {{"record", "--generation", "6", "--discard", "--privacy", "10,10,0,50"}, "not '10,10,0,50'"},
        {{"record", "--generation", "6", "--discard", "--privacy", "10,10,50,100.5"}, "not '10,10,50,100.5'"},
        {{"record", "--generation", "6", "--discard", "--privacy", "nan,10,50,50"}, "not 'nan,10,50,50'"},
        {{"query", "--address", "a", "--out", ""}, "--out wants a profile file"},
    };
    for (const Refusal& refusal : refusals) {
        std::string error;
        const std::string line = ::testing::PrintToString(refusal.arguments);
        EXPECT_FALSE(Parse(refusal.arguments, &error)) << line;
        EXPECT_NE(error.find(refusal.names), std::string::npos) << line << ": " << error;
    }
}

TEST(HostOptions, SpeakTakesItsCodecAsTheOfferedAudioFormatNotTheDevicesDefault) {
    auto options = Parse({"speak", "--generation", "6", "--codec", "g726", "--file", "a.wav", "--seconds", "3"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->speakCodec, SpeakCodec::G726); // file and seconds: HostAudioTest, end to end
    EXPECT_TRUE(options->deviceOptions.empty());
}

TEST(HostOptions, RecordWithoutStreamsRecordsTheRecordingStreamWithTheCodecGiven) {
    auto options = Parse({"record", "--profile", "p", "--out", "dir", "--seconds", "10"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 1u);
    EXPECT_EQ(options->streams[0].streamIndex, kStreamRecording);
    EXPECT_EQ(options->streams[0].codecType, kDeviceDefaultCodec);
}

TEST(HostOptions, StreamOptionsApplyToTheStreamsThatFollow) {
    auto options = Parse({"record", "--generation", "6", "--out", "d", "--codec", "h264", "--size", "1920x1080", "--fps",
                          "5", "--quality", "80", "--stream", "rec", "--fps", "60", "--stream", "remote:mpeg4",
                          "--codec", "jpeg", "--quality", "1", "--stream", "live", "--motion"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 3u);
    const auto& rec = options->streams[0];
    const auto& remote = options->streams[1];
    const auto& live = options->streams[2];
    EXPECT_EQ(rec.streamIndex, kStreamRecording);
    EXPECT_EQ(remote.streamIndex, kStreamRemote);
    EXPECT_EQ(live.streamIndex, kStreamLive);
    EXPECT_EQ(std::vector<uint32_t>({rec.codecType, remote.codecType, live.codecType}), std::vector<uint32_t>({3, 2, 1}));
    EXPECT_EQ(rec.width, 1920);
    EXPECT_EQ(rec.height, 1080);
    EXPECT_EQ(live.width, 1920);
    EXPECT_EQ(std::vector<uint32_t>({rec.framesPerSecond, remote.framesPerSecond, live.framesPerSecond}),
              std::vector<uint32_t>({5, 60, 60}));
    EXPECT_EQ(std::vector<uint32_t>({rec.quality, remote.quality, live.quality}), std::vector<uint32_t>({80, 80, 1}));
    // Motion detection goes with the recording stream wherever --motion stands.
    EXPECT_TRUE(rec.motion);
    EXPECT_FALSE(live.motion);
    EXPECT_EQ(VideoChannelSettings(rec).GetPictureSettings()->GetMotionDetection(), 1u);
    EXPECT_EQ(VideoChannelSettings(live).GetPictureSettings()->GetMotionDetection(), 0u);
    EXPECT_TRUE(options->deviceOptions.empty());
}

// Whole-millisecond intervals up to 30 fps, the marked 0x7000 | fps above;
// without --fps and --quality the camera's own are kept (both words 0).
TEST(HostOptions, FrameRateAndQualityBecomeThePictureWords) {
    const std::pair<uint32_t, uint32_t> intervals[] = {{0, 0},   {1, 1000},     {10, 100},    {25, 40},
                                                       {30, 33}, {15, 67},      {31, 0x701F}, {60, 0x703C}};
    for (const auto& [fps, word] : intervals)
        EXPECT_EQ(PictureFrameInterval(fps), word) << fps << " fps";

    auto options = Parse({"record", "--generation", "6", "--discard", "--fps", "25", "--quality", "70"});
    VideoChannelSettings settings(options->streams[0]);
    EXPECT_EQ(settings.GetPictureSettings()->GetFirstValue(), 40);
    EXPECT_EQ(settings.GetPictureSettings()->GetSecondValue(), 70);
    EXPECT_EQ(settings.GetPictureSettings()->GetQuality(), 0);
    VideoChannelSettings kept(Parse({"record", "--generation", "6", "--discard", "--size", "320x240"})->streams[0]);
    EXPECT_EQ(kept.GetPictureSettings()->GetFirstValue(), 0);
    EXPECT_EQ(kept.GetPictureSettings()->GetSecondValue(), 0);
    EXPECT_EQ(kept.GetStreamSettings()->GetSize()->GetWidth(), 320);
}

TEST(HostOptions, CamerasEventsOutputsAndProgress) {
    auto options = Parse({"record", "--generation", "6", "--discard", "--camera", "127.0.1.1", "--camera",
                          "cam.local:8080", "--events", "e.txt", "--quiet"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->cameras.size(), 2u);
    EXPECT_EQ(options->cameras[0].host, "127.0.1.1");
    EXPECT_EQ(options->cameras[0].port, 0);
    EXPECT_EQ(options->cameras[1].host, "cam.local");
    EXPECT_EQ(options->cameras[1].port, 8080);
    EXPECT_EQ(options->eventsPath, "e.txt");
    EXPECT_EQ(options->progress, ProgressDisplay::Off);
    EXPECT_EQ(Parse({"record", "--generation", "6", "--discard"})->progress, ProgressDisplay::OnTerminal);
    EXPECT_EQ(Parse({"record", "--generation", "6", "--discard", "--progress"})->progress, ProgressDisplay::On);

    options = Parse({"io", "--generation", "6", "--outputs", "2", "--set", "2=on", "--set", "1=off", "--set", "2=off",
                     "--watch", "5"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->command, "io");
    EXPECT_EQ(options->outputChanges, (std::vector<OutputChange>{{2, true}, {1, false}, {2, false}}));
    EXPECT_EQ(options->watchSeconds, 5u);
    EXPECT_EQ(Parse({"io", "--generation", "6"})->watchSeconds, 0u);
    EXPECT_FALSE(Parse({"ptz", "--generation", "6", "stop"})->ptzCapabilities) << "the profile's own apply";
}

} // namespace
} // namespace fennwick_host
