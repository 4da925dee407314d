#include "PtzCgi.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <thread>
#include <vector>

namespace camsim {

namespace {

constexpr uint32_t kTopPanTiltSpeed = 24;
constexpr uint32_t kTopLensSpeed = 8;
constexpr uint32_t kTopPresetSpeed = 24;
constexpr uint32_t kTopViscaSpeed = 7;
// A lens crosses its whole range in this time at its top speed.
constexpr double kLensTravelSecondsAtTop = 4.0;
constexpr size_t kMaxPresetNameLength = 32;
constexpr uint32_t kFirstGenerationWithImageSuffix = 5;
constexpr uint32_t kFirstGenerationWithPresetThumbnail = 6;
// The picture camsim assumes for area zoom (PtzCgi.h).
constexpr double kPictureWidth = 640;
constexpr double kWideFieldOfView = 5000; // hundredths of a degree
constexpr double kOpticalZoom = 18;
constexpr auto kHangSlice = std::chrono::milliseconds(10);

struct Direction {
    std::string_view name;
    int pan;
    int tilt;
};

constexpr std::array<Direction, 8> kDirections = {{{"left", -1, 0},
                                                   {"right", 1, 0},
                                                   {"up", 0, 1},
                                                   {"down", 0, -1},
                                                   {"up-left", -1, 1},
                                                   {"up-right", 1, 1},
                                                   {"down-left", -1, -1},
                                                   {"down-right", 1, -1}}};

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos)
            return fields;
        text.remove_prefix(comma + 1);
    }
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10) {
    Number number{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

std::optional<uint32_t> ParseSpeed(std::string_view text, uint32_t top) {
    const std::optional<uint32_t> speed = ParseNumber<uint32_t>(text);
    if (!speed || *speed == 0 || *speed > top)
        return std::nullopt;
    return speed;
}

double LensRate(uint32_t speed, const AxisRange& range) {
    return (range.max - range.min) * double(speed) / kTopLensSpeed / kLensTravelSecondsAtTop;
}

double Magnification(int32_t zoom) {
    return 1 + (kOpticalZoom - 1) * zoom / kZoomRange.max;
}

int32_t ZoomOfMagnification(double magnification) {
    return int32_t(std::clamp((magnification - 1) / (kOpticalZoom - 1), 0.0, 1.0) * kZoomRange.max);
}

std::string HexByte(uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}

void Answer(HttpExchange& exchange, const std::string& reason) {
    if (reason.empty())
        exchange.SendResponse(200, "", {{"Content-Type", "text/plain"}});
    else
        exchange.SendResponse(400, reason + "\n", {{"Content-Type", "text/plain"}});
}

} // namespace

PtzCgi::PtzCgi(HttpServer& http, CameraState& camera, PtzState& state, const PtzSpec& spec)
    : m_camera(camera), m_state(state), m_spec(spec) {
    if (!spec.HasPtz())
        return;
    http.AddRoute("/command/ptzf.cgi", [this](HttpExchange& exchange) { AnswerPtzf(exchange); });
    if (spec.presets > 0)
        http.AddRoute("/command/presetposition.cgi", [this](HttpExchange& exchange) { AnswerPresetPosition(exchange); });
}

void PtzCgi::SetFaults(const PtzFaults& faults) {
    m_hangMs = faults.hangMs;
    m_state.SetMalformedPresetNames(faults.malformedPresetNames);
}

bool PtzCgi::Hang(const HttpExchange& exchange) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_hangMs.load());
    while (std::chrono::steady_clock::now() < end) {
        if (exchange.Stopping())
            return false;
        std::this_thread::sleep_for(kHangSlice);
    }
    return !exchange.Stopping();
}

void PtzCgi::AnswerPtzf(HttpExchange& exchange) {
    if (!Hang(exchange))
        return;
    const KeyValueList items = SplitItems(exchange.Head().query);
    if (items.size() != 1)
        return Answer(exchange, "ptzf.cgi wants one of Move=, visca=, AreaZoom=, AbsoluteZoom=");
    const auto& [key, value] = items.front();
    const std::string decoded = PercentDecode(value);
    if (key == "Move")
        return Answer(exchange, Move(decoded));
    if (key == "visca")
        return Answer(exchange, Visca(decoded));
    if (key == "AreaZoom")
        return Answer(exchange, AreaZoom(decoded));
    if (key == "AbsoluteZoom")
        return Answer(exchange, AbsoluteZoom(decoded));
    Answer(exchange, "unknown ptzf.cgi key " + key);
}

std::string PtzCgi::Move(std::string_view value) {
    const std::vector<std::string_view> fields = SplitFields(value);
    if (fields.size() != 2)
        return "Move wants DIRECTION,SPEED or stop,motor|zoom|focus";
    const std::string_view what = fields[0];
    if (what == "stop") {
        if (fields[1] == "motor")
            m_state.StopPanTilt();
        else if (fields[1] == "zoom")
            m_state.StopZoom();
        else if (fields[1] == "focus")
            m_state.StopFocus();
        else
            return "Move=stop wants motor, zoom or focus";
        return {};
    }
    const bool lens = what == "tele" || what == "wide" || what == "near" || what == "far";
    const std::optional<uint32_t> speed = ParseSpeed(fields[1], lens ? kTopLensSpeed : kTopPanTiltSpeed);
    if (!speed)
        return "speed of " + std::string(what) + " wants 1 to " + std::to_string(lens ? kTopLensSpeed : kTopPanTiltSpeed);
    if (lens) {
        const bool zoom = what == "tele" || what == "wide";
        if (zoom && !m_spec.zoom)
            return "this model has no zoom";
        const int sign = what == "tele" || what == "near" ? 1 : -1;
        if (zoom)
            m_state.MoveZoom(sign * LensRate(*speed, kZoomRange));
        else
            m_state.MoveFocus(sign * LensRate(*speed, kFocusRange));
        return {};
    }
    for (const Direction& direction : kDirections) {
        if (direction.name != what)
            continue;
        if (!m_spec.panTilt)
            return "this model has no pan/tilt head";
        const double rate = double(m_spec.topPanTiltRate) * *speed / kTopPanTiltSpeed;
        m_state.MovePanTilt(direction.pan * rate, direction.tilt * rate);
        return {};
    }
    return "unknown direction " + std::string(what);
}

// Zoom and focus commands of VISCA's camera command set, sent as hex text.
std::string PtzCgi::Visca(std::string_view hex) {
    if (m_camera.Generation() != 1)
        return "visca= is for generation 1 cameras";
    if (hex.empty() || hex.size() % 2 != 0)
        return "visca= wants an even number of hex digits";
    std::vector<uint8_t> bytes;
    for (size_t offset = 0; offset < hex.size(); offset += 2) {
        const std::optional<uint8_t> byte = ParseNumber<uint8_t>(hex.substr(offset, 2), 16);
        if (!byte)
            return "visca= wants hex digits";
        bytes.push_back(*byte);
    }
    std::string text;
    for (uint8_t byte : bytes)
        text += HexByte(byte);
    const bool zoomDrive = text.size() == 12 && text.starts_with("81010407") && text.ends_with("FF");
    const bool focusDrive = text.size() == 12 && text.starts_with("81010408") && text.ends_with("FF");
    if (zoomDrive || focusDrive) {
        const uint8_t code = bytes[4];
        const uint32_t speed = (code & 0xF) + 1u;
        if ((code >> 4) != 2 && (code >> 4) != 3 && code != 0)
            return "unknown VISCA drive " + text;
        if ((code & 0xF) > kTopViscaSpeed)
            return "VISCA speed wants 0 to 7";
        const int sign = (code >> 4) == 2 ? 1 : (code >> 4) == 3 ? -1 : 0;
        if (zoomDrive)
            m_state.MoveZoom(sign * LensRate(speed, kZoomRange));
        else // VISCA's focus "far" (2p) drives towards infinity
            m_state.MoveFocus(-sign * LensRate(speed, kFocusRange));
        return {};
    }
    if (text.size() == 18 && text.starts_with("81010447") && text.ends_with("FF")) {
        int32_t zoom = 0;
        for (size_t index = 4; index < 8; ++index) {
            if (bytes[index] > 0xF)
                return "VISCA zoom position wants 0p 0q 0r 0s";
            zoom = zoom << 4 | bytes[index];
        }
        m_state.SetZoom(zoom);
        return {};
    }
    return "unknown VISCA command " + text;
}

std::string PtzCgi::AreaZoom(std::string_view value) {
    const std::vector<std::string_view> fields = SplitFields(value);
    if (fields.size() != 4 && fields.size() != 5)
        return "AreaZoom wants DX,DY,W,H[,SUFFIX]";
    const std::optional<int32_t> dx = ParseNumber<int32_t>(fields[0]);
    const std::optional<int32_t> dy = ParseNumber<int32_t>(fields[1]);
    const std::optional<uint32_t> width = ParseNumber<uint32_t>(fields[2]);
    const std::optional<uint32_t> height = ParseNumber<uint32_t>(fields[3]);
    if (!dx || !dy || !width || !height)
        return "AreaZoom wants DX,DY,W,H[,SUFFIX] in decimal";
    if (fields.size() == 5) {
        const std::string_view suffix = fields[4];
        const bool imageSuffix = suffix == "Image1" || suffix == "Image2" || suffix == "Image3";
        const bool codecSuffix = suffix == "jpeg" || suffix == "mpeg4" || suffix == "h264";
        if ((m_camera.Generation() >= kFirstGenerationWithImageSuffix ? !imageSuffix : !codecSuffix))
            return "AreaZoom suffix " + std::string(suffix) + " is not one of this generation";
    }
    if (!m_spec.panTilt)
        return "this model has no pan/tilt head";
    const double magnification = Magnification(m_state.Now().zoom);
    const double perPixel = kWideFieldOfView / kPictureWidth / magnification;
    const int32_t zoom = *width == 0 ? m_state.Now().zoom
                                     : ZoomOfMagnification(magnification * kPictureWidth / *width);
    m_state.ShiftView(int32_t(*dx * perPixel), int32_t(-*dy * perPixel), zoom);
    return {};
}

std::string PtzCgi::AbsoluteZoom(std::string_view value) {
    const std::optional<uint32_t> zoom = ParseNumber<uint32_t>(value, 16);
    if (!zoom || *zoom > uint32_t(kZoomRange.max))
        return "AbsoluteZoom wants a hex lens position 0 to 4000";
    if (!m_spec.zoom)
        return "this model has no zoom";
    m_state.SetZoom(int32_t(*zoom));
    return {};
}

void PtzCgi::AnswerPresetPosition(HttpExchange& exchange) {
    if (!Hang(exchange))
        return;
    std::string parameters = exchange.Head().query;
    std::string body;
    while (body.size() <= HttpServer::kMaxBodyBytes && exchange.ReadBody(body, HttpServer::kMaxBodyBytes)) {
    }
    if (body.size() > HttpServer::kMaxBodyBytes)
        return void(exchange.SendResponse(413, ""));
    if (!body.empty())
        parameters += (parameters.empty() ? "" : "&") + body;
    const KeyValueList items = SplitItems(parameters);
    if (items.empty())
        return Answer(exchange, "presetposition.cgi wants PresetSet=, PresetCall= or PresetClear=");
    for (const auto& [key, value] : items)
        if (std::string reason = Preset(key, PercentDecode(value)); !reason.empty())
            return Answer(exchange, reason);
    Answer(exchange, {});
}

std::string PtzCgi::Preset(std::string_view key, std::string_view value) {
    const std::vector<std::string_view> fields = SplitFields(value);
    const std::optional<uint32_t> number = ParseNumber<uint32_t>(fields[0]);
    if (!number || *number == 0 || *number > m_spec.presets)
        return std::string(key) + " wants a preset number 1 to " + std::to_string(m_spec.presets);
    if (key == "PresetSet") {
        const size_t allowed = m_camera.Generation() >= kFirstGenerationWithPresetThumbnail ? 3 : 2;
        const bool thumbnailOk = fields.size() < 3 || fields[2] == "on" || fields[2] == "off";
        if (fields.size() < 2 || fields.size() > allowed || !thumbnailOk)
            return allowed == 3 ? "PresetSet wants N,NAME[,on|off]" : "PresetSet wants N,NAME";
        if (fields[1].empty() || fields[1].size() > kMaxPresetNameLength)
            return "a preset name has 1 to " + std::to_string(kMaxPresetNameLength) + " characters";
        m_state.SetPreset(*number, std::string(fields[1]));
        return {};
    }
    if (key == "PresetCall") {
        if (fields.size() > 2 || (fields.size() == 2 && !ParseSpeed(fields[1], kTopPresetSpeed)))
            return "PresetCall wants N[,SPEED] (speed 1 to " + std::to_string(kTopPresetSpeed) + ")";
        return m_state.CallPreset(*number) ? std::string() : "preset " + std::to_string(*number) + " is not set";
    }
    if (key == "PresetClear") {
        if (fields.size() != 1)
            return "PresetClear wants N";
        return m_state.ClearPreset(*number) ? std::string() : "preset " + std::to_string(*number) + " is not set";
    }
    return "unknown presetposition.cgi key " + std::string(key);
}

} // namespace camsim
