#include "OutageFault.h"

#include <charconv>

namespace camsim {

namespace {

std::optional<uint32_t> ParseSeconds(std::string_view text) {
    uint32_t seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds > OutageFault::MAX_OUTAGE_SECONDS)
        return std::nullopt;
    return seconds;
}

} // namespace

int64_t OutageFault::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

void OutageFault::Schedule(std::chrono::milliseconds delay, std::chrono::milliseconds length) {
    const int64_t begin = NowMs() + delay.count();
    // The end first: a reader between the two stores sees no outage rather than a stale one.
    m_endMs = 0;
    m_beginMs = begin;
    m_endMs = begin + length.count();
}

bool OutageFault::Active() const {
    const int64_t now = NowMs();
    return now >= m_beginMs.load() && now < m_endMs.load();
}

void OutageFault::AppendState(std::vector<std::string>& members) const {
    const int64_t left = Active() ? m_endMs.load() - NowMs() : 0;
    members.push_back("\"outage_ms_left\": " + std::to_string(left));
}

std::optional<std::string> OutageFault::CheckControl(std::string_view key, std::string_view value) const {
    if (key != "outage")
        return std::nullopt;
    if (!ParseSeconds(value))
        return "outage wants whole seconds from 0 to " + std::to_string(MAX_OUTAGE_SECONDS) + ", not '" +
               std::string(value) + "'";
    return std::string();
}

void OutageFault::ApplyControl(std::string_view, std::string_view value) {
    Schedule(std::chrono::milliseconds(0), std::chrono::seconds(ParseSeconds(value).value_or(0)));
}

} // namespace camsim
