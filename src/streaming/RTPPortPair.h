// The search for a free RTP/RTCP port pair that a channel offers in SETUP.
#pragma once

#include "common/CEvent.h"
#include "streaming/CRTCPHandler.h"
#include "streaming/CRTPReceiver.h"

#include <cstdint>

namespace talvex {

constexpr uint16_t FIRST_RTP_PORT = 3556;
// Ports tried stay below this one: 500 pairs, the last RTP port tried is 4554.
constexpr uint16_t RTP_PORT_LIMIT = 4556;
// A port on which packets arrive within this time belongs to another stream.
constexpr uint32_t PORT_QUIET_TEST_MS = 500;

// Opens the receiver on an even port and the RTCP handler on the next one
// towards cameraAddress (IPv4, network order). portBusyEvent is set by the
// receiver's user when a packet arrives; stopEvent ends the search.
bool OpenRTPPortPair(CRTPReceiver& receiver, CRTCPHandler& rtcpHandler, uint32_t cameraAddress, CEvent& stopEvent,
                     CEvent& portBusyEvent);

} // namespace talvex
