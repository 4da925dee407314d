// The fake driver with PTZ: capabilities from a property-4 text and a picture
// size for area zoom, pointed at a loopback camera.
#pragma once

#include "support/FakeDriver.h"
#include "ptz/CPtzCapabilities.h"

namespace talvex::test {

class FakePtzDriver : public FakeDriver {
public:
    FakePtzDriver(uint16_t port, const std::string& capabilities, uint32_t generation = 6,
                  std::string model = "SNC-EP580")
        : FakeDriver("127.0.0.1", port), m_capabilities(CPtzCapabilities::FromText(capabilities)) {
        m_device.generation = generation;
        m_device.model = std::move(model);
    }
    const CPtzCapabilities* GetPtzCapabilities() const override { return &m_capabilities; }
    std::pair<uint16_t, uint16_t> GetChannelPictureSize(uint32_t) const override { return m_pictureSize; }

    CPtzCapabilities m_capabilities;
    std::pair<uint16_t, uint16_t> m_pictureSize{640, 480};
};

} // namespace talvex::test
