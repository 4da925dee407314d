// MPEG-4 visual depacketiser (RFC 3016): VOPs reassembled from the payload,
// the stream configuration (VOS/VO/VOL headers) put in front of every I-VOP.
#pragma once

#include "video/CRTPMediaParser.h"

#include <vector>

namespace talvex {

class CMpeg4RTPMediaParser : public CRTPMediaParser {
public:
    explicit CMpeg4RTPMediaParser(IMediaParserOwner& owner);

    void Reset() override;

protected:
    bool AppendPayload(std::span<const uint8_t> payload) override;
    void ProcessFrame(uint32_t rtpTimestamp) override;

private:
    // Takes the configuration a payload starts with; returns the offset where its VOP data begins.
    size_t TakeInBandConfiguration(std::span<const uint8_t> payload);
    void StartVop(uint8_t codingTypeByte);

    // Configuration sent in the stream itself; preferred over the session description's.
    std::vector<uint8_t> m_inBandConfiguration;
    bool m_waitingForKeyFrame = true;
    bool m_isKeyFrame = false;
};

} // namespace talvex
