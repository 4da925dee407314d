#include "audio/AudioFormat.h"

#include "common/Conversions.h"

#include <memory>
#include <string_view>

namespace talvex {
namespace {

constexpr const char* kDefaultCodecName = "g711_64";
constexpr std::string_view kG726Prefix = "g726";
constexpr uint32_t kDefaultG726Bitrate = 32000;
constexpr uint32_t kBitsPerKilobit = 1000;
constexpr char kListSeparator = '/';
constexpr char kRateSeparator = '_';

// "g726_24" gives 24000; other names (or a third part) give 0.
uint32_t G726Bitrate(std::string_view name) {
    const size_t separator = name.find(kRateSeparator);
    if (separator == std::string_view::npos || name.substr(0, separator) != kG726Prefix)
        return 0;
    const std::string_view rate = name.substr(separator + 1);
    if (rate.find(kRateSeparator) != std::string_view::npos)
        return 0;
    const uint32_t bitrate = StringToUnsigned(rate) * kBitsPerKilobit;
    return bitrate ? bitrate : kDefaultG726Bitrate;
}

} // namespace

AudioCodecChoice SelectAudioCodec(const std::string& configuredName, const std::string& deviceCodecList) {
    AudioCodecChoice choice{kDefaultCodecName, AudioFormat{}};
    if (configuredName.empty())
        return choice;
    std::string_view list = deviceCodecList;
    while (!list.empty()) {
        const size_t end = list.find(kListSeparator);
        const std::string_view entry = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (entry != configuredName)
            continue;
        if (const uint32_t bitrate = G726Bitrate(entry)) {
            choice.name = std::string(entry);
            choice.format.fourcc = kFourccG726;
            choice.format.bitrate = bitrate;
            break;
        }
    }
    return choice;
}

bool FillAudioFrame(ipcapture::IAudioFrame& frame, const AudioFormat& format, std::span<const uint8_t> data,
                    uint8_t channelNumber) {
    frame.SetCodec(format.fourcc);
    if (!frame.SetData(data.data(), uint32_t(data.size())))
        return false;
    frame.SetFormat(format.samplesPerSecond, format.bitsPerSample, format.isStereo != 0);
    frame.SetBitRate(format.bitrate);
    frame.SetChannelNumber(channelNumber);
    frame.Finish();
    return true;
}

AudioDelivery DeliverAudioFrame(ipcapture::IFrameAllocator& allocator, IAudioParserCallback* consumer,
                                const AudioFormat& format, std::span<const uint8_t> data, uint8_t channelNumber,
                                const std::string& name) {
    auto release = [&allocator](ipcapture::IAudioFrame* frame) { allocator.ReleaseAudio(frame); };
    std::unique_ptr<ipcapture::IAudioFrame, decltype(release)> frame(
        allocator.AllocAudio(format.fourcc, uint32_t(data.size()), name.c_str()), release);
    if (!frame)
        return AudioDelivery::NoFrame;
    try {
        const bool taken =
            FillAudioFrame(*frame, format, data, channelNumber) && consumer && consumer->OnAudioFrame(frame.get());
        return taken ? AudioDelivery::Taken : AudioDelivery::Refused;
    } catch (...) {
        // The host's trouble with one frame costs that frame only.
        return AudioDelivery::Refused;
    }
}

} // namespace talvex
