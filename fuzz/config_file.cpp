// Configuration file readers over arbitrary file content, plus the number rules
// they use. Checks that every field ends within its documented range.
#include "common/ConfigFile.h"
#include "common/Conversions.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// A private directory for the run, removed at exit. Plain character arrays:
// they outlive every static destructor.
char g_directory[] = "/tmp/fennwick-fuzz-config-XXXXXX";
char g_file[sizeof g_directory + 16] = "";

void RemoveDirectory() {
    std::remove(g_file);
    ::rmdir(g_directory);
}

std::string HostDirectory() {
    if (!g_file[0]) {
        if (!mkdtemp(g_directory))
            std::abort();
        std::snprintf(g_file, sizeof g_file, "%s/Fennwick.xml", g_directory);
        std::atexit(RemoveDirectory);
    }
    return std::string(g_directory) + "/";
}

void WriteConfig(const uint8_t* data, size_t size) {
    FILE* file = std::fopen((HostDirectory() + "Fennwick.xml").c_str(), "wb");
    if (!file)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

bool VolumeInRange(int32_t volume) {
    return volume == talvex::AUDIO_CONFIG::kVolumeNotSet || (volume >= -10 && volume <= 10);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    talvex::StringToUnsigned(text);
    talvex::ParseSignedDecimal(text);

    WriteConfig(data, size);
    const talvex::DEVICE_INFO device("192.168.0.10", 80, "admin", "admin");
    const auto video = talvex::ReadVideoConfig("Fennwick", HostDirectory(), device);
    const auto audio = talvex::ReadAudioConfig("Fennwick", HostDirectory(), device);
    if (video.rtpMode > talvex::kRtpOverRtsp || audio.rtpMode > talvex::kRtpOverRtsp)
        std::abort();
    if (!VolumeInRange(audio.inputVolume) || !VolumeInRange(audio.outputVolume))
        std::abort();
    if (audio.inputSource != "" && audio.inputSource != "mic" && audio.inputSource != "line")
        std::abort();
    return 0;
}
