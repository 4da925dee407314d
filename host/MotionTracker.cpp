#include "MotionTracker.h"

namespace fennwick_host {
namespace {

constexpr uint8_t kMotionRecordTag = 0x01;
constexpr uint8_t kMotion = 0x01;
constexpr uint8_t kNoMotion = 0x00;

} // namespace

std::optional<bool> MotionTracker::StateOfFrame(std::span<const uint8_t> data) {
    if (data.size() != 2 || data[0] != kMotionRecordTag || (data[1] != kMotion && data[1] != kNoMotion))
        return std::nullopt;
    return data[1] == kMotion;
}

std::optional<bool> MotionTracker::OnFrame(bool motion) {
    if (m_edgeLeadIn) {
        m_edgeLeadIn = false;
        return std::nullopt;
    }
    if (m_state == motion)
        return std::nullopt;
    m_state = motion;
    ++m_changes;
    if (motion)
        ++m_onsets;
    return motion;
}

void MotionTracker::OnChannelLoss() {
    m_edgeLeadIn = true;
    ++m_losses;
}

} // namespace fennwick_host
