#include "DeviceSettings.h"

namespace fennwick_host {

DeviceSettings::DeviceSettings(DeviceProfile profile)
    : m_profile(std::move(profile)),
      m_name(m_profile.model + " " + m_profile.address + ":" + std::to_string(m_profile.port)),
      m_capacities(m_profile),
      m_connection(m_profile) {}

const char* DeviceSettings::GetParameter(uint32_t id) const {
    auto it = m_profile.properties.find(id);
    return it == m_profile.properties.end() ? nullptr : it->second.c_str();
}

} // namespace fennwick_host
