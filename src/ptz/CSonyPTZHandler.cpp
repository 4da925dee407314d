#include "ptz/CSonyPTZHandler.h"

namespace talvex {

CSonyPTZHandler::CSonyPTZHandler(IDriver* driver) : m_driver(driver) {}

CSonyPTZHandler::~CSonyPTZHandler() = default;

ipcapture::IIPPTZApi* CSonyPTZHandler::GetPTZApi(uint32_t channelIndex) {
    if (channelIndex >= m_channelLimit)
        return nullptr;
    CAutoLock lock(m_lock);
    std::unique_ptr<CSonyPTZControl>& control = m_controls[channelIndex];
    if (!control) {
        auto made = std::make_unique<CSonyPTZControl>(m_driver, channelIndex);
        if (!made->Open()) {
            m_controls.erase(channelIndex);
            return nullptr;
        }
        control = std::move(made);
    }
    return control.get();
}

} // namespace talvex
