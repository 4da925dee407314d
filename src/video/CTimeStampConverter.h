// Turns 90 kHz RTP timestamps into frame times (100-ns units since 1601, UTC).
//
// Replay mode (recordings fetched from the camera): the first timestamp gives
// the base time; later ones advance by their RTP distance, repeated ones by a
// fixed increment. The first timestamp is the replay's first packet's when
// AnchorReplay is told of it: the frames before the first key frame are never
// converted, yet the base time stands for the first of them.
//
// Live mode (the default): the first frame takes the system time. For the
// first 100 steps the time advances by the nominal RTP distance. After that
// each step is scaled by the measured rate of the stream: the wall-clock time
// over the RTP time of the last 1000 steps, bounded to [1/2, 2], which follows
// a camera clock that runs fast or slow without letting arrival jitter through.
// A lead over the system clock (recorded when it reaches 250 ms, at the 100th
// step, or after a repeated timestamp or a restart) is worked off gradually
// from then on: every step longer than 4 ms gives up at most an eighth of its
// length (never going below 4 ms) until the lead is gone. Frame times strictly increase and never lag
// the system clock: a time that is not ahead of the system clock is replaced
// by the system clock. A step of one second or more (a camera that restarted
// its clock, or a stall) starts over from the system clock instead of being
// trusted, and is kept out of the rate windows.
#pragma once

#include "common/CTime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace talvex {

class CTimeStampConverter {
public:
    using Clock = std::function<CTime()>;

    static constexpr uint64_t kUnitsPerMs = 10000;
    static constexpr uint64_t kUnitsPerSecond = 1000 * kUnitsPerMs;
    // The replay increment for repeated timestamps: 10 ms.
    static constexpr uint64_t kDefaultReplayIncrement = 10 * kUnitsPerMs;
    static constexpr size_t kWindowSteps = 1000;
    static constexpr uint32_t kCalibrationSteps = 100;
    static constexpr uint64_t kResyncStep = kUnitsPerSecond;
    static constexpr uint64_t kLeadTolerance = kUnitsPerMs;
    static constexpr uint64_t kMinimumCorrectedStep = 4 * kUnitsPerMs;
    static constexpr uint64_t kLeadToRecord = 250 * kUnitsPerMs;
    static constexpr uint64_t kRepeatedTimestampStep = kUnitsPerMs;
    // A step gives up at most 1/kLeadShareDivisor of itself to the lead.
    static constexpr uint64_t kLeadShareDivisor = 8;
    static constexpr uint64_t kMaxRateFactor = 2;

    explicit CTimeStampConverter(Clock clock = &CTime::Now);

    // Forgets the frames seen; the mode stays.
    void Reset();
    // Replay mode from baseTime (the system time when empty).
    void StartReplay(CTime baseTime, uint64_t increment = kDefaultReplayIncrement);
    CTime Convert(uint32_t rtpTimestamp);
    // In replay mode, before the first conversion: rtpTimestamp (the replay's
    // first packet's) stands for the base time. Ignored otherwise.
    void AnchorReplay(uint32_t rtpTimestamp);

    // Lead over the system clock currently being worked off.
    uint64_t GetRecordedLead() const { return m_recordedLead; }

private:
    // Sum of the last kWindowSteps values.
    class CMovingSum {
    public:
        void Add(uint64_t value);
        void Clear();
        uint64_t Sum() const { return m_sum; }

    private:
        std::array<uint64_t, kWindowSteps> m_values{};
        size_t m_next = 0;
        size_t m_count = 0;
        uint64_t m_sum = 0;
    };

    // The base time for rtpTimestamp: the replay's reference from here on.
    void StartReplayAt(uint32_t rtpTimestamp);
    CTime ConvertReplay(uint32_t rtpTimestamp);
    CTime ConvertLive(uint32_t rtpTimestamp);
    // Advancing timestamp in live mode after the first frame.
    void AdvanceLive(uint64_t rtpStep, CTime now);
    uint64_t ScaledStep(uint64_t rtpStep, uint64_t nominal) const;
    uint64_t TakeOffLead(uint64_t step);
    // Moves the time to candidate, or to now when candidate is not ahead of it.
    void Settle(uint64_t candidate, CTime now, bool recordLead);
    // Distance from the last timestamp; 0 when ts is not after it (serial number arithmetic).
    uint32_t ForwardDistance(uint32_t rtpTimestamp) const;

    Clock m_clock;
    bool m_replay = false;
    CTime m_replayBase;
    uint64_t m_replayIncrement = kDefaultReplayIncrement;
    // Anchored and not converted since: the anchor's own frame keeps the base time.
    bool m_anchorPending = false;

    bool m_started = false;
    uint64_t m_time = 0;
    uint32_t m_lastRtp = 0;
    CTime m_lastWall;
    uint32_t m_steps = 0;
    uint64_t m_recordedLead = 0;
    CMovingSum m_rtpWindow;
    CMovingSum m_wallWindow;
};

} // namespace talvex
