#include "streaming/RTPPortPair.h"

namespace talvex {

bool OpenRTPPortPair(CRTPReceiver& receiver, CRTCPHandler& rtcpHandler, uint32_t cameraAddress, CEvent& stopEvent,
                     CEvent& portBusyEvent) {
    for (uint32_t port = FIRST_RTP_PORT; port < RTP_PORT_LIMIT; port += 2) {
        if (stopEvent.Wait(0))
            return false;
        // The signal is about this port: one left from a busy port before it
        // (a manual event stays set) would make every later port look busy.
        portBusyEvent.Reset();
        if (receiver.Open(uint16_t(port))) {
            CEvent* signals[] = {&portBusyEvent, &stopEvent};
            const bool quiet = CEvent::WaitAny(signals, 2, PORT_QUIET_TEST_MS) < 0;
            if (quiet && rtcpHandler.Open(cameraAddress, uint16_t(port + 1)))
                return true;
        }
        receiver.Close();
        rtcpHandler.Close();
    }
    return false;
}

} // namespace talvex
