// The consumer of received RTP packets (a video or audio channel).
#pragma once

#include "streaming/CRTPPacket.h"

#include <netinet/in.h>

namespace talvex {

class IRTPReceiverUser {
public:
    virtual ~IRTPReceiverUser() = default;
    // fromAddress: the sender's IPv4 socket address.
    virtual void OnRTPPacket(const sockaddr_in& fromAddress, const CRTPPacket& packet) = 0;
    virtual void OnReceiveTimeout() = 0;
    virtual void OnClosed() = 0;
};

} // namespace talvex
