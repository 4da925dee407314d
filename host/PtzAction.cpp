#include "PtzAction.h"

#include <array>
#include <charconv>

namespace fennwick_host {
namespace {

// Move directions in the driver's numbering (0 to 7).
constexpr std::array<std::string_view, 8> kMoveDirections = {"left",    "right",    "up",        "down",
                                                             "up-left", "up-right", "down-left", "down-right"};
constexpr int32_t kZoomIn = 8;
constexpr int32_t kZoomOut = 9;

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool IsNumber(std::string_view text) {
    return ParseNumber<int64_t>(text).has_value();
}

// Reads the words of one action after its name; each Take* names what it wanted on failure.
class ActionReader {
public:
    ActionReader(const std::vector<std::string_view>& words, size_t& next, std::string& error)
        : m_words(words), m_next(next), m_error(error) {}

    std::optional<std::string_view> TakeWord(std::string_view wanted) {
        if (m_next >= m_words.size()) {
            m_error = "wants " + std::string(wanted);
            return std::nullopt;
        }
        return m_words[m_next++];
    }
    std::optional<uint32_t> TakeSpeed() {
        const std::optional<std::string_view> word = TakeWord("a speed from 1 to 16");
        if (!word)
            return std::nullopt;
        const std::optional<uint32_t> speed = ParseNumber<uint32_t>(*word);
        if (!speed || *speed < kMinPtzSpeed || *speed > kMaxPtzSpeed) {
            m_error = "wants a speed from 1 to 16, not '" + std::string(*word) + "'";
            return std::nullopt;
        }
        return speed;
    }
    std::optional<int32_t> TakeCoordinate(std::string_view wanted) {
        const std::optional<std::string_view> word = TakeWord(wanted);
        if (!word)
            return std::nullopt;
        const std::optional<int32_t> number = ParseNumber<int32_t>(*word);
        if (!number)
            m_error = "wants " + std::string(wanted) + ", not '" + std::string(*word) + "'";
        return number;
    }
    // One of the choices: its index.
    std::optional<size_t> TakeChoice(const std::vector<std::string_view>& choices, std::string_view wanted) {
        const std::optional<std::string_view> word = TakeWord(wanted);
        if (!word)
            return std::nullopt;
        for (size_t index = 0; index < choices.size(); ++index)
            if (choices[index] == *word)
                return index;
        m_error = "wants " + std::string(wanted) + ", not '" + std::string(*word) + "'";
        return std::nullopt;
    }
    bool NextIsNumber() const { return m_next < m_words.size() && IsNumber(m_words[m_next]); }

private:
    const std::vector<std::string_view>& m_words;
    size_t& m_next;
    std::string& m_error;
};

// A lens action (zoom, focus, iris): which of the two words, and the speed.
bool ReadLensAction(ActionReader& reader, const std::vector<std::string_view>& words, PtzAction& action) {
    std::string wanted = std::string(words[0]) + " or " + std::string(words[1]);
    const std::optional<size_t> choice = reader.TakeChoice(words, wanted);
    const std::optional<uint32_t> speed = choice ? reader.TakeSpeed() : std::nullopt;
    if (!speed)
        return false;
    action.flag = *choice == 0;
    action.speed = *speed;
    return true;
}

bool ReadMove(ActionReader& reader, PtzAction& action) {
    const std::optional<size_t> direction = reader.TakeChoice(
        {kMoveDirections.begin(), kMoveDirections.end()},
        "left, right, up, down, up-left, up-right, down-left or down-right");
    const std::optional<uint32_t> speed = direction ? reader.TakeSpeed() : std::nullopt;
    if (!speed)
        return false;
    action.direction = int32_t(*direction);
    action.speed = *speed;
    return true;
}

bool ReadPoint(ActionReader& reader, PtzAction& action) {
    const std::optional<int32_t> x = reader.TakeCoordinate("X Y (picture pixels)");
    const std::optional<int32_t> y = x ? reader.TakeCoordinate("X Y (picture pixels)") : std::nullopt;
    if (!y)
        return false;
    action.x = *x;
    action.y = *y;
    return true;
}

bool ReadName(ActionReader& reader, PtzAction& action) {
    const std::optional<std::string_view> name = reader.TakeWord("a preset NAME");
    if (name)
        action.name = *name;
    return name.has_value();
}

struct ActionWord {
    std::string_view word;
    PtzActionKind kind;
};

constexpr std::array<ActionWord, 13> kActionWords = {{{"move", PtzActionKind::Move},
                                                      {"zoom", PtzActionKind::Zoom},
                                                      {"focus", PtzActionKind::Focus},
                                                      {"iris", PtzActionKind::Iris},
                                                      {"stop", PtzActionKind::Stop},
                                                      {"center", PtzActionKind::Center},
                                                      {"area-zoom", PtzActionKind::AreaZoom},
                                                      {"unzoom", PtzActionKind::Unzoom},
                                                      {"preset-save", PtzActionKind::PresetSave},
                                                      {"preset-call", PtzActionKind::PresetCall},
                                                      {"preset-delete", PtzActionKind::PresetDelete},
                                                      {"presets", PtzActionKind::Presets},
                                                      {"wait", PtzActionKind::Wait}}};

bool ReadZoom(ActionReader& reader, PtzAction& action) {
    if (!ReadLensAction(reader, {"in", "out"}, action))
        return false;
    action.direction = action.flag ? kZoomIn : kZoomOut;
    action.flag = false;
    return true;
}

bool ReadAreaZoom(ActionReader& reader, PtzAction& action) {
    const std::optional<int32_t> percent =
        ReadPoint(reader, action) ? reader.TakeCoordinate("a zoom PERCENT") : std::nullopt;
    action.percent = percent.value_or(0);
    return percent.has_value();
}

bool ReadPresetCall(ActionReader& reader, PtzAction& action) {
    action.speed = kDefaultPresetSpeed;
    if (!ReadName(reader, action))
        return false;
    if (!reader.NextIsNumber())
        return true;
    const std::optional<uint32_t> speed = reader.TakeSpeed();
    action.speed = speed.value_or(0);
    return speed.has_value();
}

bool ReadWait(ActionReader& reader, PtzAction& action, std::string& error) {
    const std::optional<int32_t> ms = reader.TakeCoordinate("MS (milliseconds)");
    if (ms && (*ms < 0 || uint32_t(*ms) > kMaxPtzWaitMs))
        error = "wants MS from 0 to " + std::to_string(kMaxPtzWaitMs) + ", not '" + std::to_string(*ms) + "'";
    if (!ms || !error.empty())
        return false;
    action.milliseconds = uint32_t(*ms);
    return true;
}

// Reads the arguments of the action's kind; false with error set.
bool ReadArguments(ActionReader& reader, PtzAction& action, std::string& error) {
    switch (action.kind) {
    case PtzActionKind::Move: return ReadMove(reader, action);
    case PtzActionKind::Zoom: return ReadZoom(reader, action);
    case PtzActionKind::Focus: return ReadLensAction(reader, {"near", "far"}, action);
    case PtzActionKind::Iris: return ReadLensAction(reader, {"open", "close"}, action);
    case PtzActionKind::Center: return ReadPoint(reader, action);
    case PtzActionKind::AreaZoom: return ReadAreaZoom(reader, action);
    case PtzActionKind::PresetSave:
    case PtzActionKind::PresetDelete: return ReadName(reader, action);
    case PtzActionKind::PresetCall: return ReadPresetCall(reader, action);
    case PtzActionKind::Wait: return ReadWait(reader, action, error);
    case PtzActionKind::Stop:
    case PtzActionKind::Unzoom:
    case PtzActionKind::Presets: return true;
    }
    return false;
}

std::optional<PtzActionKind> KindOfWord(std::string_view word) {
    for (const ActionWord& known : kActionWords)
        if (known.word == word)
            return known.kind;
    return std::nullopt;
}

} // namespace

std::optional<std::vector<PtzAction>> ParsePtzActions(const std::vector<std::string_view>& words, std::string& error) {
    std::vector<PtzAction> actions;
    size_t next = 0;
    while (next < words.size()) {
        const size_t first = next;
        const std::string_view kindWord = words[next++];
        const std::optional<PtzActionKind> kind = KindOfWord(kindWord);
        if (!kind) {
            error = "'" + std::string(kindWord) + "' is not a ptz action (move, zoom, focus, iris, stop, center, "
                    "area-zoom, unzoom, preset-save, preset-call, preset-delete, presets, wait)";
            return std::nullopt;
        }
        std::string reason;
        ActionReader reader(words, next, reason);
        PtzAction action;
        action.kind = *kind;
        if (!ReadArguments(reader, action, reason)) {
            error = "ptz action '" + std::string(kindWord) + "' " + reason;
            return std::nullopt;
        }
        for (size_t index = first; index < next; ++index)
            action.text += (index == first ? "" : " ") + std::string(words[index]);
        actions.push_back(std::move(action));
    }
    return actions;
}

} // namespace fennwick_host
