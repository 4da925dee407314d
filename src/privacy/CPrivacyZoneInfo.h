// One of the camera's masks as its inquiry reports it: the mask number (from
// 1), its coordinate text and whether the camera shows it.
#pragma once

#include "privacy/CPrivacyArea.h"

#include <cstdint>
#include <string>

namespace talvex {

class CPrivacyZoneInfo : public CPrivacyArea {
public:
    CPrivacyZoneInfo(uint32_t number, std::string text) : CPrivacyArea(std::move(text)), m_number(number) {}
    CPrivacyZoneInfo(uint32_t number, uint16_t x, uint16_t y, uint16_t width, uint16_t height)
        : CPrivacyArea(x, y, width, height), m_number(number) {}

    uint32_t GetNumber() const { return m_number; }
    bool IsDisplayed() const { return m_displayed; }
    void SetDisplayed(bool displayed) { m_displayed = displayed; }

private:
    uint32_t m_number;
    bool m_displayed = false;
};

} // namespace talvex
