// The host's device settings objects, answered from a device profile. The
// driver only uses them during Open.
#pragma once

#include "DeviceProfile.h"

#include <talvex/ipcapture/HostObjects.h>

namespace fennwick_host {

class DeviceCapacities : public talvex::ipcapture::IDeviceCapacities {
public:
    explicit DeviceCapacities(const DeviceProfile& profile) : m_profile(profile) {}

    uint32_t GetDeviceType() const override { return 0; }
    const char* GetModelName() const override { return m_profile.model.c_str(); }
    uint32_t GetVideoChannelCount() const override { return m_profile.videoChannels; }
    uint32_t GetAudioChannelCount() const override { return 0; }
    uint32_t GetDigitalInputCount() const override { return m_profile.inputs; }
    uint32_t GetDigitalOutputCount() const override { return m_profile.outputs; }

private:
    const DeviceProfile& m_profile;
};

class DeviceConnectionSettings : public talvex::ipcapture::IDeviceConnectionSettings {
public:
    explicit DeviceConnectionSettings(const DeviceProfile& profile) : m_profile(profile) {}

    const char* GetAddress() const override { return m_profile.address.c_str(); }
    uint16_t GetPort() const override { return m_profile.port; }
    uint32_t GetConnectionFlags() const override { return 0; }
    uint32_t GetDefaultCodecType() const override { return m_profile.codecType; }
    const char* GetUserName() const override { return m_profile.user.c_str(); }
    const char* GetPassword() const override { return m_profile.password.c_str(); }

private:
    const DeviceProfile& m_profile;
};

// Holds the profile the other two objects read; the numbered properties are its own.
class DeviceSettings : public talvex::ipcapture::IDeviceSettings {
public:
    explicit DeviceSettings(DeviceProfile profile);

    talvex::ipcapture::IDeviceCapacities* GetCapacities() override { return &m_capacities; }
    talvex::ipcapture::IDeviceConnectionSettings* GetConnectionSettings() override { return &m_connection; }
    const char* GetDeviceName() const override { return m_name.c_str(); }
    // Null when the profile has no such property.
    const char* GetParameter(uint32_t id) const override;

    const DeviceProfile& Profile() const { return m_profile; }

private:
    DeviceProfile m_profile;
    std::string m_name;
    DeviceCapacities m_capacities;
    DeviceConnectionSettings m_connection;
};

} // namespace fennwick_host
