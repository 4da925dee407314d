// The motion state of one video channel as the driver's motion frames ("MEMD",
// two bytes: 0x01, then 0x01 for motion or 0x00 for none) report it. Pure
// logic; the owner serialises access.
//
// After its start and after each loss of its signal (no frame taken for the
// device's second time-out, which a quiet scene causes every ten seconds or
// so) the driver sends the opposite of the current state and then the state,
// so that a host always sees an edge. That first frame says nothing about the
// scene: the tracker drops it and reports only real changes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace fennwick_host {

class MotionTracker {
public:
    // The motion state a MEMD frame's data carries; nullopt for other data.
    static std::optional<bool> StateOfFrame(std::span<const uint8_t> data);

    // The state to report when this frame changes it (the first state known counts as a change).
    std::optional<bool> OnFrame(bool motion);
    // The motion channel lost its signal: the driver sends its edge again.
    void OnChannelLoss();

    uint64_t Changes() const { return m_changes; }
    uint64_t Onsets() const { return m_onsets; }
    uint64_t ChannelLosses() const { return m_losses; }

private:
    std::optional<bool> m_state;
    bool m_edgeLeadIn = true;
    uint64_t m_changes = 0;
    uint64_t m_onsets = 0;
    uint64_t m_losses = 0;
};

} // namespace fennwick_host
