// The host's result object of one capability query: what the driver found out
// about a device, kept in the order it came, to be printed and stored as a
// device profile that open and record read back.
#pragma once

#include "DeviceProfile.h"

#include <talvex/ipcapture/CapabilityQuery.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fennwick_host {

// Capability values that the profile keeps as the device's input and output counts.
constexpr uint32_t kCapabilityDigitalInputs = 2;
constexpr uint32_t kCapabilityDigitalOutputs = 3;
// The most entries of each kind one query may hand over; more, or a text with
// a line break (a profile keeps one property per line), fail the query.
constexpr size_t kMaxQueryEntries = 1024;

struct QueryProperty {
    uint32_t id = 0;
    std::string name;
    uint32_t kind = 0;
    std::string value;
};

class QueryFindings : public talvex::ipcapture::ICapabilityQueryResult {
public:
    bool SetDeviceIdentity(const char* manufacturer, const char* model, const char* description) override;
    bool SetDeviceProperty(uint32_t id, const char* name, uint32_t kind, const char* value) override;
    bool SetCapabilityValue(uint32_t id, int32_t value) override;
    bool SetCapabilityText(const char* name, const char* text) override;

    // One line each: the identity, every device property (number, name, kind,
    // value) and every capability entry, in the order the driver gave them.
    void Print(FILE* out) const;
    // A device profile: the connection's keys, the device's model, input and
    // output counts, and the numbered properties, each after a comment line
    // with its name.
    std::string ProfileText(const DeviceProfile& connection) const;

private:
    bool HasRoom(size_t entries) const { return entries < kMaxQueryEntries; }
    std::optional<int32_t> Value(uint32_t id) const;

    mutable std::mutex m_mutex; // the driver writes from its fetch thread
    std::string m_manufacturer;
    std::string m_model;
    std::string m_description;
    std::vector<QueryProperty> m_properties;
    std::vector<std::pair<uint32_t, int32_t>> m_values;
    std::vector<std::pair<std::string, std::string>> m_texts;
};

// Writes a profile file readable by its owner only (it holds the password);
// the error text on failure.
std::optional<std::string> SaveProfileFile(const std::string& path, const std::string& text);

} // namespace fennwick_host
