// Frame type codes, the frame size limit and the picture size classes shared
// by every media parser.
#pragma once

#include <talvex/ipcapture/HostObjects.h>

#include <cstddef>
#include <cstdint>

namespace talvex {

// No assembled frame may grow beyond 10 MiB; a peer that sends more is cut off.
constexpr size_t kMaxFrameBytes = 10485760;

constexpr uint32_t kTypeH264KeyFrame = ipcapture::MakeFourCC('H', '2', '6', '4');
constexpr uint32_t kTypeH264Frame = ipcapture::MakeFourCC('I', '2', '6', '4');
constexpr uint32_t kTypeMpeg4KeyFrame = ipcapture::MakeFourCC('D', 'I', 'V', 'X');
constexpr uint32_t kTypeMpeg4Frame = ipcapture::MakeFourCC('D', 'I', 'V', 'I');
constexpr uint32_t kTypeJpeg = ipcapture::MakeFourCC('J', 'P', 'E', 'G');

// CIF-family size class of a picture: 1 QCIF, 2 CIF, 3 2CIF (wide), 4 4CIF and above.
constexpr uint32_t GetSizeClass(uint16_t width, uint16_t height) {
    if (width < 200)
        return 1;
    if (width < 400)
        return 2;
    if (width >= 1024)
        return 4;
    return width > 2 * uint32_t(height) ? 3 : 4;
}

} // namespace talvex
