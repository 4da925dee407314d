// Test fixture for one RTP depacketiser with the fake host: packets are sent
// with consecutive sequence numbers, and the timestamp moves on by 40 ms
// (3600 ticks at 90 kHz) after every marker packet.
#pragma once

#include "unit/video/FakeMediaHost.h"
#include "unit/video/VideoTestData.h"

#include <gtest/gtest.h>

#include <vector>

namespace talvex::test {

// A packet of a table case: its marker and payload.
struct RtpPayload {
    bool marker;
    std::vector<uint8_t> payload;
};

template <class Parser>
class RtpParserFixture : public ::testing::Test {
protected:
    RtpParserFixture() { parser.SetClient(&client); }

    void Feed(const std::vector<CRTPPacket>& packets) {
        for (const auto& packet : packets)
            parser.ProcessPacket(packet);
    }
    void Send(bool marker, const std::vector<uint8_t>& payload) {
        parser.ProcessPacket(MakeRtpPacket(sequence++, timestamp, marker, payload));
        if (marker)
            timestamp += 3600;
    }
    void Send(const std::vector<RtpPayload>& packets) {
        for (const auto& packet : packets)
            Send(packet.marker, packet.payload);
    }
    std::vector<std::vector<uint8_t>> DeliveredData() const {
        std::vector<std::vector<uint8_t>> data;
        for (const auto& frame : client.frames)
            data.push_back(frame.data);
        return data;
    }

    FakeParserOwner owner;
    FakeParserClient client;
    Parser parser{owner};
    uint16_t sequence = 1000;
    uint32_t timestamp = 90000;
};

} // namespace talvex::test
