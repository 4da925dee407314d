// H.264 depacketiser (RFC 6184, non-interleaved mode): single NAL units,
// STAP-A and FU-A, rebuilt into Annex B access units with 00 00 01 start codes.
#pragma once

#include "video/CRTPMediaParser.h"

namespace talvex {

class CH264RTPMediaParser : public CRTPMediaParser {
public:
    explicit CH264RTPMediaParser(IMediaParserOwner& owner);

    void ProcessPacket(const CRTPPacket& packet) override;
    void Reset() override;
    // Takes the SPS and PPS only when the SPS gives a picture size.
    void SetConfiguration(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                          std::span<const uint8_t> configuration) override;

protected:
    bool AppendPayload(std::span<const uint8_t> payload) override;
    bool IsFrameEnd(const CRTPPacket& packet) const override;
    void ProcessFrame(uint32_t rtpTimestamp) override;

private:
    bool AppendSingleNalUnit(std::span<const uint8_t> payload);
    bool AppendAggregationPacket(std::span<const uint8_t> payload);
    bool AppendFragment(std::span<const uint8_t> payload);
    void AppendNalUnit(std::span<const uint8_t> nalUnit);
    // Puts the stored SPS and PPS first when the frame is still empty.
    void PrependParameterSets();
    void StoreParameterSet(ConfigurationIndex index, std::span<const uint8_t> nalUnit);
    // Width and height of the first SPS in the frame; false when there is none that reads.
    bool FindSequenceParameterSet(uint16_t& width, uint16_t& height) const;

    bool m_waitingForKeyFrame = true;
    // Set until a frame boundary is known (a marker packet or an in-band
    // parameter set): a fragmented IDR before that may be the middle of an
    // access unit, so no parameter sets are put in front of it.
    bool m_noFrameCompleted = true;
    // A fragmented NAL unit has started in this frame; continuation
    // fragments without their start are dropped.
    bool m_inFragment = false;
    // The frame holds a slice (a VCL NAL unit) of its picture.
    bool m_frameHasSlice = false;
};

} // namespace talvex
