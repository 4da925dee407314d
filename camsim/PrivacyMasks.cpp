#include "PrivacyMasks.h"

#include <algorithm>
#include <charconv>

namespace camsim {

namespace {

constexpr uint32_t kFirstMaskingCgiGeneration = 6;
constexpr size_t kRectangleNumbers = 4;
constexpr size_t kPolygonNumbers = 8;
constexpr std::string_view kVertexKey = "PrivacyMaskVertex";

std::vector<std::string_view> SplitCommas(std::string_view text) {
    std::vector<std::string_view> tokens;
    while (true) {
        const size_t comma = text.find(',');
        tokens.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos)
            return tokens;
        text.remove_prefix(comma + 1);
    }
}

std::optional<uint32_t> Number(std::string_view text) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return value;
}

bool AllNumbers(const std::vector<std::string_view>& tokens) {
    return std::all_of(tokens.begin(), tokens.end(), [](std::string_view token) { return Number(token).has_value(); });
}

std::string Joined(std::vector<std::string_view>::const_iterator begin, std::vector<std::string_view>::const_iterator end) {
    std::string text;
    for (auto token = begin; token != end; ++token)
        text += (text.empty() ? "" : ",") + std::string(*token);
    return text;
}

} // namespace

PrivacyMasks::PrivacyMasks(const PrivacySpec& spec, uint32_t generation)
    : m_spec(spec),
      m_cgi(generation >= kFirstMaskingCgiGeneration ? CameraState::Cgi::Masking : CameraState::Cgi::Camera) {
    const std::string undrawn = m_spec.vertices ? "0,0,0,0,0,0,0,0" : "0,0,0,0";
    for (uint32_t number = 1; number <= m_spec.masks; ++number)
        m_masks[number].area = undrawn;
    for (const auto& [number, area] : m_spec.areas)
        m_masks[number].area = area;
    for (uint32_t number : m_spec.displayed)
        m_masks[number].displayed = true;
}

std::string PrivacyMasks::GroupName() const {
    return m_cgi == CameraState::Cgi::Masking ? "masking" : "fcb";
}

std::string PrivacyMasks::Items() const {
    std::lock_guard lock(m_mutex);
    return "PrivacyMaxNum=" + std::to_string(m_spec.masks) + "&" + Areas() + "&" +
           (m_spec.displayList ? "PrivacyDisplay=" : "PrivacyMonitor=") + DisplayedList();
}

std::string PrivacyMasks::Areas() const {
    std::string areas;
    if (!m_spec.vertices) {
        for (const auto& [number, mask] : m_masks)
            areas += (areas.empty() ? "" : ",") + std::to_string(number) + "," + mask.area;
        return "PrivacyMaskPosition=" + areas;
    }
    for (const auto& [number, mask] : m_masks)
        areas += (areas.empty() ? "" : "&") + std::string(kVertexKey) + std::to_string(number) + "=" + mask.area;
    return areas;
}

std::string PrivacyMasks::DisplayedList() const {
    std::string list;
    for (const auto& [number, mask] : m_masks)
        if (mask.displayed)
            list += (list.empty() ? "" : ",") + std::to_string(number);
    return list;
}

bool PrivacyMasks::TakeCommand(CameraState::Cgi cgi, const std::string& key, const std::string& value) {
    if (cgi != m_cgi)
        return false;
    std::lock_guard lock(m_mutex);
    if (key == "PrivacyMaskPosition" && !m_spec.vertices)
        SetPositions(value);
    else if (key.starts_with(kVertexKey) && m_spec.vertices)
        SetVertices(std::string_view(key).substr(kVertexKey.size()), value);
    else if (key == "PrivacyDispEach")
        SetDisplayedEach(value);
    else if (key == "PrivacyDisplay")
        SetDisplayList(value);
    else
        return false;
    return true;
}

PrivacyMasks::Mask* PrivacyMasks::Find(std::string_view number) {
    const std::optional<uint32_t> parsed = Number(number);
    const auto mask = parsed ? m_masks.find(*parsed) : m_masks.end();
    return mask == m_masks.end() ? nullptr : &mask->second;
}

void PrivacyMasks::SetPositions(const std::string& value) {
    const std::vector<std::string_view> tokens = SplitCommas(value);
    Mask* mask = tokens.size() == 1 + kRectangleNumbers && AllNumbers(tokens) ? Find(tokens[0]) : nullptr;
    if (mask)
        mask->area = Joined(tokens.begin() + 1, tokens.end());
}

void PrivacyMasks::SetVertices(std::string_view number, const std::string& value) {
    const std::vector<std::string_view> tokens = SplitCommas(value);
    Mask* mask = tokens.size() == kPolygonNumbers && AllNumbers(tokens) ? Find(number) : nullptr;
    if (mask)
        mask->area = value;
}

void PrivacyMasks::SetDisplayedEach(const std::string& value) {
    const std::vector<std::string_view> tokens = SplitCommas(value);
    Mask* mask = tokens.size() == 2 && (tokens[1] == "on" || tokens[1] == "off") ? Find(tokens[0]) : nullptr;
    if (mask)
        mask->displayed = tokens[1] == "on";
}

void PrivacyMasks::SetDisplayList(const std::string& value) {
    std::vector<Mask*> listed;
    if (!value.empty()) {
        for (std::string_view token : SplitCommas(value)) {
            Mask* mask = Find(token);
            if (!mask)
                return;
            listed.push_back(mask);
        }
    }
    for (auto& [number, mask] : m_masks)
        mask.displayed = std::find(listed.begin(), listed.end(), &mask) != listed.end();
}

void PrivacyMasks::AppendState(std::vector<std::string>& members) const {
    std::lock_guard lock(m_mutex);
    std::string masks;
    for (const auto& [number, mask] : m_masks)
        masks += std::string(masks.empty() ? "" : ", ") + "\"" + std::to_string(number) + "\": {\"area\": \"" +
                 mask.area + "\", \"displayed\": " + (mask.displayed ? "true" : "false") + "}";
    members.push_back("\"masks\": {" + masks + "}");
}

} // namespace camsim
