// The driver's own copy of one host privacy zone: the host's zone objects
// live only as long as the host's call that hands them over.
#pragma once

#include <talvex/ipcapture/PrivacyZone.h>

#include <cstdint>

namespace talvex {

class CPrivacyZone : public ipcapture::IPrivacyZone {
public:
    static constexpr int32_t kRectangle = 1;

    CPrivacyZone(int32_t index, float left, float top, float width, float height)
        : m_index(index), m_left(left), m_top(top), m_width(width), m_height(height) {}
    // Copies the coordinates of a host zone; kind and enabled are always rectangle and on.
    static CPrivacyZone CopyOf(ipcapture::IPrivacyZone& zone);

    int32_t GetKind() override { return kRectangle; }
    int32_t GetIndex() override { return m_index; }
    int32_t GetEnabled() override { return 1; }
    float GetLeft() override { return m_left; }
    float GetTop() override { return m_top; }
    float GetWidth() override { return m_width; }
    float GetHeight() override { return m_height; }

private:
    int32_t m_index;
    float m_left;
    float m_top;
    float m_width;
    float m_height;
};

} // namespace talvex
