// One mask's coordinate list as the camera writes it: "x,y,w,h" for
// rectangles, or the four corners "x1,y1,x2,y2,x3,y3,x4,y4" for polygons.
// Masks are compared by this text, so the driver writes exactly the camera's form.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

class CPrivacyArea {
public:
    explicit CPrivacyArea(std::string text) : m_text(std::move(text)) {}
    CPrivacyArea(uint16_t x, uint16_t y, uint16_t width, uint16_t height);
    virtual ~CPrivacyArea() = default;

    const std::string& GetText() const { return m_text; }

private:
    std::string m_text;
};

} // namespace talvex
