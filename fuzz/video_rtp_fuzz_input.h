// Shared by the depacketiser fuzz targets: the input is a sequence of RTP
// datagrams, each preceded by its 16-bit big-endian length (RFC 4571 framing,
// the format of the packet files under tests/data/video/). Every datagram that
// parses as RTP goes to the parser; each frame delivered must fit its host frame.
#pragma once

#include "streaming/CRTPPacket.h"
#include "unit/video/FakeMediaHost.h"
#include "video/CRTPMediaParser.h"
#include "video/FrameTypes.h"

#include <cstdlib>
#include <span>

namespace talvex::fuzz {

inline void FeedDatagrams(CRTPMediaParser& parser, std::span<const uint8_t> input) {
    CRTPPacket packet;
    while (input.size() >= 2) {
        size_t length = (size_t(input[0]) << 8) | input[1];
        input = input.subspan(2);
        length = std::min(length, input.size());
        if (packet.Parse(input.first(length)))
            parser.ProcessPacket(packet);
        input = input.subspan(length);
    }
}

inline void CheckDelivered(const test::FakeParserClient& client, test::FakeParserOwner& owner) {
    for (const auto& frame : client.frames)
        if (frame.data.size() > kMaxFrameBytes + 1024 || frame.width == 0 || frame.height == 0)
            std::abort();
    if (owner.allocator.allocated != owner.allocator.released)
        std::abort();
}

// Runs one parser of type Parser over the input, with a client that reports
// a configured size of 2560 x 1920.
template <class Parser>
void RunDepacketiser(std::span<const uint8_t> input) {
    test::FakeParserOwner owner;
    test::FakeParserClient client;
    client.configuredWidth = 2560;
    client.configuredHeight = 1920;
    Parser parser(owner);
    parser.SetClient(&client);
    FeedDatagrams(parser, input);
    CheckDelivered(client, owner);
}

} // namespace talvex::fuzz
