#include "CapabilityVideo.h"

#include "HttpMessage.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace camsim {

namespace {

constexpr uint32_t kFirstCapabilityGeneration = 6;
constexpr uint32_t kFirstRealRateGeneration = 7;
constexpr uint32_t kMaxStreams = 16;

struct Size {
    uint32_t width;
    uint32_t height;
};

// Sizes the simulated encoders offer, largest first; a model offers those up
// to its "ImageMaxSize".
constexpr std::array<Size, 8> kSizeLadder = {
    {{3840, 2160}, {2560, 1440}, {1920, 1080}, {1280, 720}, {1024, 576}, {640, 480}, {640, 360}, {320, 240}}};
// Streams after the first encode at most this size.
constexpr Size kLaterStreamLimit = {1280, 720};
constexpr const char* kWholeFrameRates = "1,2,3,4,5,6,8,10,15,20,25,30";
constexpr const char* kRealFrameRates = "1,2,3,4,5,6,7.5,8,10,12.5,15,20,25,29.97,30";
// JPEG beside a video stream: the shared encoder leaves it half the rate.
constexpr const char* kWholeFrameRatesBesideVideo = "1,2,3,4,5,6,8,10,15";
constexpr const char* kRealFrameRatesBesideVideo = "1,2,3,4,5,6,7.5,8,10,12.5,15";
constexpr const char* kQualityRange = "1,10";
// Generations 6 and 7 encode H.264 and JPEG on every stream (MPEG-4 ended with generation 5).
constexpr const char* kCodecs = "h264,jpeg";
constexpr const char* kBitRateRangeG6 = "64,16000";
constexpr const char* kBitRateRangeG7 = "64,32000";

// The value of a setting: from the request's context when it names the key,
// else the camera's current one.
class Settings {
public:
    Settings(const CameraState& state, std::string_view query) : m_state(state), m_context(SplitItems(query)) {
        for (auto& [key, value] : m_context) {
            key = PercentDecode(key);
            value = PercentDecode(value);
        }
    }
    std::string Value(const std::string& key) const {
        for (const auto& [name, value] : m_context)
            if (name == key)
                return value;
        return m_state.Value(key).value_or("");
    }
    bool IsVideoCodec(uint32_t stream) const {
        const std::string codec = Value("ImageCodec" + std::to_string(stream));
        return codec == "h264" || codec == "mpeg4";
    }

private:
    const CameraState& m_state;
    KeyValueList m_context;
};

// "Name" and stream number of "Name<n>"; stream 0 when there is no number.
std::pair<std::string, uint32_t> SplitTarget(std::string_view target) {
    const size_t digits = target.find_last_not_of("0123456789") + 1;
    if (digits == target.size() || target.size() - digits > 2)
        return {std::string(target), 0};
    return {std::string(target.substr(0, digits)),
            uint32_t(std::strtoul(std::string(target.substr(digits)).c_str(), nullptr, 10))};
}

Size ParseSize(const std::string& text) {
    char* end = nullptr;
    const unsigned long width = std::strtoul(text.c_str(), &end, 10);
    const unsigned long height = *end == ',' ? std::strtoul(end + 1, nullptr, 10) : 0;
    return {uint32_t(width), uint32_t(height)};
}

bool Fits(Size size, Size limit) {
    return size.width <= limit.width && size.height <= limit.height;
}

// The first stream gets the whole sensor only while no other stream encodes
// video; then it gets the next size below. Later streams are held to 720p.
std::string ImageSizes(const Settings& settings, uint32_t stream, uint32_t streamCount) {
    Size limit = ParseSize(settings.Value("ImageMaxSize"));
    if (stream == 1) {
        bool videoBeside = false;
        for (uint32_t other = 2; other <= streamCount; ++other)
            videoBeside = videoBeside || settings.IsVideoCodec(other);
        if (videoBeside)
            for (const Size& size : kSizeLadder)
                if (Fits(size, limit) && (size.width < limit.width || size.height < limit.height)) {
                    limit = size;
                    break;
                }
    } else {
        limit = {std::min(limit.width, kLaterStreamLimit.width), std::min(limit.height, kLaterStreamLimit.height)};
    }
    std::string sizes;
    for (const Size& size : kSizeLadder)
        if (Fits(size, limit))
            sizes += (sizes.empty() ? "" : ",") + std::to_string(size.width) + "," + std::to_string(size.height);
    return sizes;
}

std::string FrameRates(const Settings& settings, uint32_t generation, uint32_t stream, uint32_t streamCount) {
    bool videoBeside = false;
    for (uint32_t other = 1; other <= streamCount; ++other)
        videoBeside = videoBeside || (other != stream && settings.IsVideoCodec(other));
    const bool halfRate = settings.Value("ImageCodec" + std::to_string(stream)) == "jpeg" && videoBeside;
    if (generation >= kFirstRealRateGeneration)
        return halfRate ? kRealFrameRatesBesideVideo : kRealFrameRates;
    return halfRate ? kWholeFrameRatesBesideVideo : kWholeFrameRates;
}

} // namespace

std::optional<std::string> CapabilityVideoAnswer(const CameraState& state, std::string_view query) {
    const uint32_t generation = state.Generation();
    if (generation < kFirstCapabilityGeneration)
        return std::nullopt;
    const Settings settings(state, query);
    const std::string target = settings.Value("Target");
    const auto [name, stream] = SplitTarget(target);
    const uint32_t streamCount = std::min<uint32_t>(std::strtoul(settings.Value("ImageCodecMaxNum").c_str(), nullptr, 10), kMaxStreams);
    if (stream < 1 || stream > streamCount)
        return std::nullopt;

    std::string values;
    if (name == "ImageCodec")
        values = kCodecs;
    else if (name == "ImageSize")
        values = ImageSizes(settings, stream, streamCount);
    else if (name == "FrameRate")
        values = FrameRates(settings, generation, stream, streamCount);
    else if (name == "H264Quality" || (name == "Quality" && generation < kFirstRealRateGeneration) ||
             (name == "JpegQuality" && generation >= kFirstRealRateGeneration))
        values = kQualityRange;
    else if (name == "BitRate")
        values = generation >= kFirstRealRateGeneration ? kBitRateRangeG7 : kBitRateRangeG6;
    else
        return std::nullopt;
    return "Capable" + target + "=" + values;
}

void AddCapabilityVideoRoute(HttpServer& http, std::shared_ptr<CameraState> state,
                             std::map<std::string, std::string> faultyValues) {
    http.AddRoute("/command/capability-video", [state, faultyValues](HttpExchange& exchange) {
        const std::string target = Settings(*state, exchange.Head().query).Value("Target");
        if (const auto fault = faultyValues.find(target); fault != faultyValues.end()) {
            exchange.SendResponse(200, "Capable" + target + "=" + fault->second, {{"Content-Type", "text/plain"}});
            return;
        }
        if (const auto answer = CapabilityVideoAnswer(*state, exchange.Head().query))
            exchange.SendResponse(200, *answer, {{"Content-Type", "text/plain"}});
        else
            exchange.SendResponse(404, "<html><body>404 Not Found</body></html>", {{"Content-Type", "text/html"}});
    });
}

} // namespace camsim
