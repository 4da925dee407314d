// RTP packet parsing over arbitrary datagrams: every accepted part lies inside the datagram.
#include "streaming/CRTPPacket.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    talvex::CRTPPacket packet;
    if (packet.Parse({data, size})) {
        const size_t parts =
            12 + packet.GetCsrcList().size() + packet.GetExtensionData().size() + packet.GetPayloadSize();
        if (parts > size || packet.GetCsrcList().size() != 4u * packet.GetCsrcCount())
            __builtin_trap();
    }
    return 0;
}
