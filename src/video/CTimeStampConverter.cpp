#include "video/CTimeStampConverter.h"

#include <algorithm>

namespace talvex {

namespace {

// 90 kHz ticks to 100-ns units: 1000 / 9 units per tick.
constexpr uint64_t NominalStep(uint64_t rtpStep) { return rtpStep * 1000 / 9; }

constexpr uint32_t kHalfRtpRange = 0x80000000u;

} // namespace

void CTimeStampConverter::CMovingSum::Add(uint64_t value) {
    if (m_count == kWindowSteps)
        m_sum -= m_values[m_next];
    else
        ++m_count;
    m_values[m_next] = value;
    m_sum += value;
    m_next = (m_next + 1) % kWindowSteps;
}

void CTimeStampConverter::CMovingSum::Clear() {
    m_next = 0;
    m_count = 0;
    m_sum = 0;
}

CTimeStampConverter::CTimeStampConverter(Clock clock) : m_clock(std::move(clock)) {}

void CTimeStampConverter::Reset() {
    m_started = false;
    m_anchorPending = false;
    m_steps = 0;
    m_recordedLead = 0;
    m_rtpWindow.Clear();
    m_wallWindow.Clear();
}

void CTimeStampConverter::StartReplay(CTime baseTime, uint64_t increment) {
    Reset();
    m_replay = true;
    m_replayBase = baseTime;
    m_replayIncrement = increment;
}

CTime CTimeStampConverter::Convert(uint32_t rtpTimestamp) {
    return m_replay ? ConvertReplay(rtpTimestamp) : ConvertLive(rtpTimestamp);
}

uint32_t CTimeStampConverter::ForwardDistance(uint32_t rtpTimestamp) const {
    uint32_t distance = rtpTimestamp - m_lastRtp;
    return distance < kHalfRtpRange ? distance : 0;
}

void CTimeStampConverter::AnchorReplay(uint32_t rtpTimestamp) {
    if (!m_replay || m_started)
        return;
    StartReplayAt(rtpTimestamp);
    m_anchorPending = true;
}

void CTimeStampConverter::StartReplayAt(uint32_t rtpTimestamp) {
    m_started = true;
    m_time = m_replayBase.IsEmpty() ? m_clock().Value() : m_replayBase.Value();
    m_lastRtp = rtpTimestamp;
}

CTime CTimeStampConverter::ConvertReplay(uint32_t rtpTimestamp) {
    if (!m_started) {
        StartReplayAt(rtpTimestamp);
        return CTime(m_time);
    }
    const uint32_t distance = ForwardDistance(rtpTimestamp);
    const bool anchorFrame = m_anchorPending && rtpTimestamp == m_lastRtp;
    m_anchorPending = false;
    if (!anchorFrame)
        m_time += distance ? NominalStep(distance) : m_replayIncrement;
    m_lastRtp = rtpTimestamp;
    return CTime(m_time);
}

CTime CTimeStampConverter::ConvertLive(uint32_t rtpTimestamp) {
    CTime now = m_clock();
    if (!m_started) {
        m_started = true;
        m_time = now.Value();
        m_lastRtp = rtpTimestamp;
        m_lastWall = now;
        return CTime(m_time);
    }
    uint32_t distance = ForwardDistance(rtpTimestamp);
    if (distance == 0) {
        // Repeated or older timestamp: a little later than the last frame,
        // and never before now. An older one becomes the new reference so
        // that a camera that restarted its clock is followed.
        Settle(std::max(m_time + kRepeatedTimestampStep, now.Value()), now, true);
        if (rtpTimestamp != m_lastRtp) {
            m_lastRtp = rtpTimestamp;
            m_lastWall = now;
        }
        return CTime(m_time);
    }
    AdvanceLive(distance, now);
    m_lastRtp = rtpTimestamp;
    m_lastWall = now;
    return CTime(m_time);
}

void CTimeStampConverter::AdvanceLive(uint64_t rtpStep, CTime now) {
    uint64_t nominal = NominalStep(rtpStep);
    if (nominal >= kResyncStep) {
        Settle(std::max(now.Value(), m_time + kRepeatedTimestampStep), now, true);
        return;
    }
    m_rtpWindow.Add(rtpStep);
    m_wallWindow.Add(now > m_lastWall ? now.Value() - m_lastWall.Value() : 0);
    ++m_steps;
    uint64_t step = m_steps <= kCalibrationSteps ? nominal : TakeOffLead(ScaledStep(rtpStep, nominal));
    Settle(m_time + step, now, m_steps == kCalibrationSteps);
}

uint64_t CTimeStampConverter::ScaledStep(uint64_t rtpStep, uint64_t nominal) const {
    using Wide = unsigned __int128;
    uint64_t rtpSum = m_rtpWindow.Sum();
    Wide scaled = rtpSum ? Wide(rtpStep) * m_wallWindow.Sum() / rtpSum : Wide(nominal);
    Wide lowest = std::max<uint64_t>(nominal / kMaxRateFactor, 1);
    Wide highest = Wide(nominal) * kMaxRateFactor;
    return uint64_t(std::clamp(scaled, lowest, highest));
}

uint64_t CTimeStampConverter::TakeOffLead(uint64_t step) {
    if (m_recordedLead <= kLeadTolerance || step <= kMinimumCorrectedStep)
        return step;
    uint64_t share = std::min({m_recordedLead, step / kLeadShareDivisor, step - kMinimumCorrectedStep});
    m_recordedLead -= share;
    return step - share;
}

void CTimeStampConverter::Settle(uint64_t candidate, CTime now, bool recordLead) {
    if (candidate <= now.Value()) {
        m_time = now.Value();
        m_recordedLead = 0;
        return;
    }
    m_time = candidate;
    uint64_t lead = candidate - now.Value();
    if (recordLead || lead >= kLeadToRecord)
        m_recordedLead = lead;
}

} // namespace talvex
