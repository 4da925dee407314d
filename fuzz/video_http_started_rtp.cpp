// The HTTP-started RTP channels (payloads concatenated up to the marker, then
// the H.264 or MPEG-4 key-frame scan) over arbitrary packet sequences. The
// first input byte chooses the codec (even: H.264, odd: MPEG-4); the rest is
// length-prefixed RTP datagrams, all from the camera's address.
// Seeds: tests/data/video/h264_176x120.h264 and mpeg4_208x120.m4v cut into
// 700-byte payloads, the marker on every third packet, behind a codec byte.
#include "channels/CH264ChannelRTP.h"
#include "channels/CMPEG4ChannelRTP.h"

#include "support/FakeChannelHost.h"
#include "video/FrameTypes.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <memory>
#include <span>

namespace {

void Feed(talvex::CCommonRTPChannel& channel, std::span<const uint8_t> input) {
    sockaddr_in camera{};
    camera.sin_family = AF_INET;
    camera.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    talvex::CRTPPacket packet;
    while (input.size() >= 2) {
        size_t length = (size_t(input[0]) << 8) | input[1];
        input = input.subspan(2);
        length = std::min(length, input.size());
        if (packet.Parse(input.first(length)))
            channel.OnRTPPacket(camera, packet);
        input = input.subspan(length);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    talvex::test::FakeDriver driver("127.0.0.1", 80);
    talvex::test::LockedFrameAllocator allocator;
    talvex::test::FakeChannelSink sink;
    driver.m_allocator = &allocator;
    std::unique_ptr<talvex::CCommonRTPChannel> channel;
    if (data[0] % 2 == 0)
        channel = std::make_unique<talvex::CH264ChannelRTP>(0, &driver, &sink);
    else
        channel = std::make_unique<talvex::CMPEG4ChannelRTP>(0, &driver, &sink);
    Feed(*channel, std::span<const uint8_t>(data + 1, size - 1));
    for (uint32_t frameSize : sink.Sizes())
        if (frameSize > talvex::kMaxFrameBytes)
            std::abort();
    if (allocator.LiveFrames() != 0)
        std::abort();
    return 0;
}
