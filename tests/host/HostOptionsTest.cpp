#include "HostOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace fennwick_host {
namespace {

std::optional<HostOptions> Parse(std::vector<const char*> arguments, std::string* errorOut = nullptr) {
    arguments.insert(arguments.begin(), "fennwick-host");
    std::string error;
    auto options = ParseHostOptions(int(arguments.size()), arguments.data(), error);
    if (errorOut)
        *errorOut = error;
    return options;
}

std::string ErrorOf(std::vector<const char*> arguments) {
    std::string error;
    auto options = Parse(std::move(arguments), &error);
    EXPECT_FALSE(options);
    return error;
}

TEST(HostOptions, OpenKeepsDeviceOptionsInOrderWithCodecAsDeviceDefault) {
    auto options = Parse({"open", "--profile", "p", "--address", "a", "--codec", "jpeg", "--port", "81", "--log", "l"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->command, "open");
    EXPECT_EQ(options->profilePath, "p");
    EXPECT_EQ(options->logPath, "l");
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(options->deviceOptions, (std::vector<Pair>{{"address", "a"}, {"codec", "jpeg"}, {"port", "81"}}));
    EXPECT_TRUE(options->streams.empty());
}

TEST(HostOptions, GenerationStandsInForAProfile) {
    auto options = Parse({"open", "--generation", "6", "--address", "a", "--model", "SNC-VB630"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->generation, 6u);
    EXPECT_TRUE(options->profilePath.empty());
}

TEST(HostOptions, RecordWithoutStreamsRecordsTheRecordingStream) {
    auto options = Parse({"record", "--profile", "p", "--out", "dir", "--seconds", "10"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 1u);
    EXPECT_EQ(options->streams[0].streamIndex, kStreamRecording);
    EXPECT_EQ(options->streams[0].codecType, kDeviceDefaultCodec);
    EXPECT_EQ(options->streams[0].width, 0);
    EXPECT_EQ(options->outDirectory, "dir");
    EXPECT_EQ(options->seconds, 10u);
    EXPECT_FALSE(options->discard);
}

TEST(HostOptions, RecordCodecAndSizeApplyToTheStreamsThatFollow) {
    auto options = Parse({"record", "--generation", "6", "--out", "d", "--codec", "h264", "--size", "1920x1080",
                          "--stream", "rec", "--stream", "remote:mpeg4", "--codec", "jpeg", "--stream", "live"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 3u);
    EXPECT_EQ(options->streams[0].streamIndex, kStreamRecording);
    EXPECT_EQ(options->streams[0].codecType, 3u);
    EXPECT_EQ(options->streams[0].width, 1920);
    EXPECT_EQ(options->streams[0].height, 1080);
    EXPECT_EQ(options->streams[1].streamIndex, kStreamRemote);
    EXPECT_EQ(options->streams[1].codecType, 2u);
    EXPECT_EQ(options->streams[1].width, 1920);
    EXPECT_EQ(options->streams[2].streamIndex, kStreamLive);
    EXPECT_EQ(options->streams[2].codecType, 1u);
    EXPECT_TRUE(options->deviceOptions.empty());
}

TEST(HostOptions, RecordFrameRateAndQualityApplyToTheStreamsThatFollow) {
    auto options = Parse({"record", "--generation", "5", "--discard", "--fps", "5", "--quality", "80", "--stream",
                          "rec", "--fps", "60", "--stream", "live", "--quality", "1", "--fps", "1", "--stream",
                          "remote"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 3u);
    EXPECT_EQ(options->streams[0].framesPerSecond, 5u);
    EXPECT_EQ(options->streams[0].quality, 80u);
    EXPECT_EQ(options->streams[1].framesPerSecond, 60u);
    EXPECT_EQ(options->streams[1].quality, 80u);
    EXPECT_EQ(options->streams[2].framesPerSecond, 1u);
    EXPECT_EQ(options->streams[2].quality, 1u);
}

TEST(HostOptions, WithoutFrameRateAndQualityTheCamerasAreKept) {
    auto options = Parse({"record", "--generation", "6", "--discard", "--size", "320x240"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 1u);
    VideoChannelSettings settings(options->streams[0]);
    EXPECT_EQ(settings.GetPictureSettings()->GetFirstValue(), 0);
    EXPECT_EQ(settings.GetPictureSettings()->GetSecondValue(), 0);
    EXPECT_EQ(settings.GetStreamSettings()->GetSize()->GetWidth(), 320);
}

// Whole-millisecond intervals up to 30 fps, the marked 0x7000 | fps above.
TEST(HostOptions, FrameRateBecomesTheFirstPictureWord) {
    EXPECT_EQ(PictureFrameInterval(0), 0);
    EXPECT_EQ(PictureFrameInterval(1), 1000);
    EXPECT_EQ(PictureFrameInterval(10), 100);
    EXPECT_EQ(PictureFrameInterval(25), 40);
    EXPECT_EQ(PictureFrameInterval(30), 33);
    EXPECT_EQ(PictureFrameInterval(15), 67);
    EXPECT_EQ(PictureFrameInterval(31), 0x701F);
    EXPECT_EQ(PictureFrameInterval(60), 0x703C);

    auto options = Parse({"record", "--generation", "6", "--discard", "--fps", "25", "--quality", "70"});
    ASSERT_TRUE(options);
    VideoChannelSettings settings(options->streams[0]);
    EXPECT_EQ(settings.GetPictureSettings()->GetFirstValue(), 40);
    EXPECT_EQ(settings.GetPictureSettings()->GetSecondValue(), 70);
    EXPECT_EQ(settings.GetPictureSettings()->GetQuality(), 0);
}

TEST(HostOptions, CodecWithoutStreamsAppliesToTheRecordingStream) {
    auto options = Parse({"record", "--generation", "6", "--discard", "--codec", "mpeg4"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->streams.size(), 1u);
    EXPECT_EQ(options->streams[0].codecType, 2u);
    EXPECT_TRUE(options->discard);
}

TEST(HostOptions, UsageErrors) {
    EXPECT_EQ(ErrorOf({}), "no command given");
    EXPECT_EQ(ErrorOf({"play", "--profile", "p"}), "unknown command 'play'");
    EXPECT_EQ(ErrorOf({"open"}), "open needs --profile FILE or --generation N");
    EXPECT_EQ(ErrorOf({"open", "--profile"}), "expected --OPTION VALUE at '--profile'");
    EXPECT_EQ(ErrorOf({"open", "profile", "p"}), "expected --OPTION VALUE at 'profile'");
    EXPECT_EQ(ErrorOf({"open", "--profile", "p", "--speed", "3"}), "unknown option --speed");
    EXPECT_EQ(ErrorOf({"open", "--profile", "p", "--stream", "rec"}), "unknown option --stream");
    EXPECT_EQ(ErrorOf({"open", "--profile", "p", "--discard"}), "unknown option --discard");
    EXPECT_EQ(ErrorOf({"open", "--generation", "8"}), "--generation wants a number from 1 to 7, not '8'");
    EXPECT_EQ(ErrorOf({"open", "--generation", "0"}), "--generation wants a number from 1 to 7, not '0'");
}

TEST(HostOptions, RecordErrors) {
    EXPECT_EQ(ErrorOf({"record", "--out", "d"}), "record needs --profile FILE or --generation N");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p"}), "record needs --out DIR (or --discard)");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--discard", "--out", "d"}),
              "--discard writes no files: leave out --out");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", ""}), "--out wants a directory");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--stream", "main"}),
              "--stream wants rec, live or remote, optionally with :jpeg, :mpeg4 or :h264, not 'main'");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--stream", "live:h265"}),
              "--stream live:h265: the codec must be jpeg, mpeg4 or h264");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--stream", "live", "--stream", "live:jpeg"}),
              "--stream live is given twice");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--codec", "vp8"}),
              "--codec wants jpeg, mpeg4 or h264, not 'vp8'");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--stream", "rec", "--codec", "jpeg"}),
              "--codec, --size, --fps and --quality apply to the --stream options after them; none follows");
    EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--stream", "rec", "--fps", "5"}),
              "--codec, --size, --fps and --quality apply to the --stream options after them; none follows");
    for (const char* fps : {"0", "61", "-5", "7.5", ""})
        EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--fps", fps}),
                  std::string("--fps wants a number from 1 to 60, not '") + fps + "'");
    for (const char* quality : {"0", "101", "high"})
        EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--quality", quality}),
                  std::string("--quality wants a number from 1 to 100, not '") + quality + "'");
    for (const char* size : {"640", "640x", "x480", "0x480", "640x65536", "640*480"})
        EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--size", size}),
                  std::string("--size wants WIDTHxHEIGHT (each 1 to 65535), not '") + size + "'");
    for (const char* seconds : {"0", "-1", "604801", "ten"})
        EXPECT_EQ(ErrorOf({"record", "--profile", "p", "--out", "d", "--seconds", seconds}),
                  std::string("--seconds wants a number from 1 to 604800, not '") + seconds + "'");
}

TEST(HostOptions, StreamNamesAndCodecNames) {
    EXPECT_EQ(StreamIndexOfName("rec"), kStreamRecording);
    EXPECT_EQ(StreamIndexOfName("live"), kStreamLive);
    EXPECT_EQ(StreamIndexOfName("remote"), kStreamRemote);
    EXPECT_FALSE(StreamIndexOfName("Rec"));
    EXPECT_EQ(StreamName(kStreamLive), "live");
    EXPECT_EQ(CodecName(1), "jpeg");
    EXPECT_EQ(CodecName(3), "h264");
    EXPECT_EQ(CodecName(0), "default");
}

TEST(HostOptions, RecordTakesCamerasWithOptionalPortsAndAnEventFile) {
    auto options = Parse({"record", "--generation", "6", "--discard", "--camera", "127.0.1.1", "--camera",
                          "cam.local:8080", "--events", "e.txt"});
    ASSERT_TRUE(options);
    ASSERT_EQ(options->cameras.size(), 2u);
    EXPECT_EQ(options->cameras[0].host, "127.0.1.1");
    EXPECT_EQ(options->cameras[0].port, 0);
    EXPECT_EQ(options->cameras[1].host, "cam.local");
    EXPECT_EQ(options->cameras[1].port, 8080);
    EXPECT_EQ(options->eventsPath, "e.txt");
}

TEST(HostOptions, BadCamerasAreRefused) {
    EXPECT_NE(ErrorOf({"record", "--generation", "6", "--discard", "--camera", ":80"}).find("HOST[:PORT]"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"record", "--generation", "6", "--discard", "--camera", "a:0"}).find("port 1 to 65535"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"record", "--generation", "6", "--discard", "--camera", "a:70000"}).find("port 1 to 65535"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"open", "--generation", "6", "--camera", "a"}).find("unknown option --camera"),
              std::string::npos);
}

TEST(HostOptions, IoTakesOutputChangesInOrderAndAWatchTime) {
    auto options = Parse({"io", "--generation", "6", "--outputs", "2", "--set", "2=on", "--set", "1=off", "--set",
                          "2=off", "--watch", "5"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->command, "io");
    EXPECT_EQ(options->outputChanges, (std::vector<OutputChange>{{2, true}, {1, false}, {2, false}}));
    EXPECT_EQ(options->watchSeconds, 5u);
    EXPECT_EQ(Parse({"io", "--generation", "6"})->watchSeconds, 0u);
}

TEST(HostOptions, RecordMotionGoesWithTheRecordingStream) {
    auto options = Parse({"record", "--generation", "6", "--discard", "--stream", "live", "--stream", "rec", "--motion"});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->streams[0].motion);
    EXPECT_TRUE(options->streams[1].motion);
    EXPECT_EQ(VideoChannelSettings(options->streams[1]).GetPictureSettings()->GetMotionDetection(), 1u);
    EXPECT_EQ(VideoChannelSettings(options->streams[0]).GetPictureSettings()->GetMotionDetection(), 0u);
    EXPECT_TRUE(Parse({"record", "--generation", "6", "--discard", "--motion"})->streams[0].motion);
}

TEST(HostOptions, BadIoAndMotionOptionsAreRefused) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"io", "--generation", "6", "--set", "0=on"}, "--set wants OUTPUT=on|off (outputs from 1), not '0=on'"},
        {{"io", "--generation", "6", "--set", "1=yes"}, "--set wants OUTPUT=on|off (outputs from 1), not '1=yes'"},
        {{"io", "--generation", "6", "--set", "1"}, "--set wants OUTPUT=on|off (outputs from 1), not '1'"},
        {{"io", "--generation", "6", "--watch", "0"}, "--watch wants a number from 1 to 604800, not '0'"},
        {{"io", "--generation", "6", "--discard"}, "unknown option --discard"},
        {{"open", "--generation", "6", "--motion"}, "unknown option --motion"},
        {{"record", "--generation", "6", "--discard", "--stream", "live", "--motion"},
         "--motion is detected with the recording stream: add --stream rec"},
    };
    for (const auto& [arguments, error] : cases)
        EXPECT_EQ(ErrorOf(arguments), error) << arguments[3];
}

TEST(HostOptions, ProgressFollowsTheTerminalUnlessToldOtherwise) {
    EXPECT_EQ(Parse({"record", "--generation", "6", "--discard"})->progress, ProgressDisplay::OnTerminal);
    EXPECT_EQ(Parse({"record", "--generation", "6", "--discard", "--quiet"})->progress, ProgressDisplay::Off);
    EXPECT_EQ(Parse({"record", "--generation", "6", "--discard", "--progress"})->progress, ProgressDisplay::On);
    EXPECT_EQ(ErrorOf({"open", "--generation", "6", "--quiet"}), "unknown option --quiet");
}

TEST(HostOptions, PtzTakesCapabilitiesAndActionsInOrder) {
    auto options = Parse({"ptz", "--generation", "6", "--ptz", "Pan=1;Tilt=1;Preset=16", "--address", "a", "move",
                          "up-left", "8", "wait", "300", "stop", "preset-call", "Door", "preset-call", "Gate", "3",
                          "presets"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->command, "ptz");
    EXPECT_EQ(options->ptzCapabilities, "Pan=1;Tilt=1;Preset=16");
    using Kind = PtzActionKind;
    const std::vector<PtzAction> expected = {
        {.kind = Kind::Move, .direction = 4, .speed = 8, .text = "move up-left 8"},
        {.kind = Kind::Wait, .milliseconds = 300, .text = "wait 300"},
        {.kind = Kind::Stop, .text = "stop"},
        {.kind = Kind::PresetCall, .speed = kDefaultPresetSpeed, .name = "Door", .text = "preset-call Door"},
        {.kind = Kind::PresetCall, .speed = 3, .name = "Gate", .text = "preset-call Gate 3"},
        {.kind = Kind::Presets, .text = "presets"},
    };
    EXPECT_EQ(options->ptzActions, expected);
    EXPECT_FALSE(Parse({"ptz", "--generation", "6", "stop"})->ptzCapabilities);
}

TEST(HostOptions, PtzActionsAsTheDriverSlotsTakeThem) {
    using Kind = PtzActionKind;
    const std::vector<std::pair<std::vector<const char*>, PtzAction>> cases = {
        {{"move", "down-right", "16"}, {.kind = Kind::Move, .direction = 7, .speed = 16}},
        {{"move", "left", "1"}, {.kind = Kind::Move, .direction = 0, .speed = 1}},
        {{"zoom", "in", "4"}, {.kind = Kind::Zoom, .direction = 8, .speed = 4}},
        {{"zoom", "out", "4"}, {.kind = Kind::Zoom, .direction = 9, .speed = 4}},
        {{"focus", "near", "2"}, {.kind = Kind::Focus, .flag = true, .speed = 2}},
        {{"focus", "far", "2"}, {.kind = Kind::Focus, .flag = false, .speed = 2}},
        {{"iris", "open", "5"}, {.kind = Kind::Iris, .flag = true, .speed = 5}},
        {{"iris", "close", "5"}, {.kind = Kind::Iris, .flag = false, .speed = 5}},
        {{"center", "320", "-240"}, {.kind = Kind::Center, .x = 320, .y = -240}},
        {{"area-zoom", "100", "50", "200"}, {.kind = Kind::AreaZoom, .x = 100, .y = 50, .percent = 200}},
        {{"unzoom"}, {.kind = Kind::Unzoom}},
        {{"preset-save", "Front door"}, {.kind = Kind::PresetSave, .name = "Front door"}},
        {{"preset-delete", "Gate"}, {.kind = Kind::PresetDelete, .name = "Gate"}},
        {{"wait", "0"}, {.kind = Kind::Wait, .milliseconds = 0}},
    };
    for (const auto& [words, action] : cases) {
        std::vector<const char*> arguments = {"ptz", "--generation", "6"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        auto options = Parse(arguments);
        ASSERT_TRUE(options) << words[0];
        ASSERT_EQ(options->ptzActions.size(), 1u) << words[0];
        PtzAction parsed = options->ptzActions[0];
        parsed.text.clear();
        EXPECT_EQ(parsed, action) << words[0];
    }
}

TEST(HostOptions, BadPtzActionsAreRefused) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"ptz", "--generation", "6"}, "ptz needs at least one ACTION after its options"},
        {{"ptz", "--generation", "6", "turn", "left"},
         "'turn' is not a ptz action (move, zoom, focus, iris, stop, center, area-zoom, unzoom, preset-save, "
         "preset-call, preset-delete, presets, wait)"},
        {{"ptz", "--generation", "6", "move", "sideways", "4"},
         "ptz action 'move' wants left, right, up, down, up-left, up-right, down-left or down-right, not 'sideways'"},
        {{"ptz", "--generation", "6", "move", "left"}, "ptz action 'move' wants a speed from 1 to 16"},
        {{"ptz", "--generation", "6", "move", "left", "0"}, "ptz action 'move' wants a speed from 1 to 16, not '0'"},
        {{"ptz", "--generation", "6", "zoom", "in", "17"}, "ptz action 'zoom' wants a speed from 1 to 16, not '17'"},
        {{"ptz", "--generation", "6", "focus", "in", "3"}, "ptz action 'focus' wants near or far, not 'in'"},
        {{"ptz", "--generation", "6", "center", "10"}, "ptz action 'center' wants X Y (picture pixels)"},
        {{"ptz", "--generation", "6", "area-zoom", "1", "2", "big"},
         "ptz action 'area-zoom' wants a zoom PERCENT, not 'big'"},
        {{"ptz", "--generation", "6", "preset-call", "Door", "25"},
         "ptz action 'preset-call' wants a speed from 1 to 16, not '25'"},
        {{"ptz", "--generation", "6", "preset-save"}, "ptz action 'preset-save' wants a preset NAME"},
        {{"ptz", "--generation", "6", "wait", "-1"}, "ptz action 'wait' wants MS from 0 to 3600000, not '-1'"},
        {{"ptz", "--generation", "6", "stop", "--ptz", "Pan=1"},
         "'--ptz' is not a ptz action (move, zoom, focus, iris, stop, center, area-zoom, unzoom, preset-save, "
         "preset-call, preset-delete, presets, wait)"},
        {{"open", "--generation", "6", "--ptz", "Pan=1"}, "unknown option --ptz"},
        {{"ptz", "stop"}, "ptz needs --profile FILE or --generation N"},
    };
    for (const auto& [arguments, error] : cases)
        EXPECT_EQ(ErrorOf(arguments), error) << arguments.back();
}

} // namespace
} // namespace fennwick_host
