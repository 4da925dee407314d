// The interleaved RTSP stream parser: the input is cut in two at a point chosen
// by its first byte, and both feeds must deliver what one feed delivers.
#include "streaming/CRTSPStreamParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Recorder : talvex::IRTPReceiverUser {
    void OnRTPPacket(const sockaddr_in&, const talvex::CRTPPacket& packet) override {
        sequences.push_back(packet.GetSequenceNumber());
    }
    void OnReceiveTimeout() override {}
    void OnClosed() override {}
    std::vector<uint16_t> sequences;
};

std::vector<uint16_t> Feed(std::span<const uint8_t> stream, size_t split, std::vector<std::string>& answers) {
    Recorder recorder;
    talvex::CRTSPStreamParser parser(&recorder, sockaddr_in{});
    parser.Feed(stream.first(split));
    parser.Feed(stream.subspan(split));
    while (auto answer = parser.TakeResponse())
        answers.push_back(*answer);
    return recorder.sequences;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::span<const uint8_t> stream(data + 1, size - 1);
    const size_t split = stream.empty() ? 0 : data[0] % (stream.size() + 1);
    std::vector<std::string> wholeAnswers, splitAnswers;
    if (Feed(stream, stream.size(), wholeAnswers) != Feed(stream, split, splitAnswers) || wholeAnswers != splitAnswers)
        __builtin_trap();
    return 0;
}
