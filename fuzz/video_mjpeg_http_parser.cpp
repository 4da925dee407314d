// CJpegMediaParser over arbitrary HTTP bodies. The first input byte sets a
// piece size; the body fed in pieces of that size must give exactly the
// frames that the whole body gives.
#include "video/CJpegMediaParser.h"

#include "unit/video/FakeMediaHost.h"

#include <cstdlib>
#include <span>

namespace {

std::vector<talvex::test::DeliveredFrame> Parse(std::span<const uint8_t> body, size_t pieceSize) {
    talvex::test::FakeParserOwner owner;
    talvex::test::FakeParserClient client;
    talvex::CJpegMediaParser parser(owner);
    parser.SetClient(&client);
    while (!body.empty()) {
        size_t take = std::min(pieceSize, body.size());
        parser.ProcessData(body.first(take));
        body = body.subspan(take);
    }
    if (owner.allocator.allocated != owner.allocator.released)
        std::abort();
    return client.frames;
}

bool SameFrames(const std::vector<talvex::test::DeliveredFrame>& a, const std::vector<talvex::test::DeliveredFrame>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].data != b[i].data || a[i].width != b[i].width || a[i].height != b[i].height)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::span<const uint8_t> body(data + 1, size - 1);
    size_t pieceSize = size_t(data[0]) + 1;
    auto whole = Parse(body, body.size() + 1);
    auto pieces = Parse(body, pieceSize);
    for (const auto& frame : whole)
        if (frame.width == 0 || frame.height == 0 || frame.data.size() < 4)
            std::abort();
    if (!SameFrames(whole, pieces))
        std::abort();
    return 0;
}
