#include "QueryFindings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fennwick_host {
namespace {

// The generation (device property 2) whose cameras serve motion JPEG only.
constexpr const char* kJpegOnlyGeneration = "1";

bool FitsOneLine(const char* text) {
    return text && std::strpbrk(text, "\r\n") == nullptr;
}

const char* KindName(uint32_t kind) {
    switch (kind) {
    case talvex::ipcapture::kDevicePropertyNumber:
        return "number";
    case talvex::ipcapture::kDevicePropertyText:
        return "text";
    case talvex::ipcapture::kDevicePropertyYesNo:
        return "yes/no";
    default:
        return "unknown kind";
    }
}

} // namespace

bool QueryFindings::SetDeviceIdentity(const char* manufacturer, const char* model, const char* description) {
    if (!FitsOneLine(manufacturer) || !FitsOneLine(model) || !FitsOneLine(description))
        return false;
    std::lock_guard lock(m_mutex);
    m_manufacturer = manufacturer;
    m_model = model;
    m_description = description;
    return true;
}

bool QueryFindings::SetDeviceProperty(uint32_t id, const char* name, uint32_t kind, const char* value) {
    std::lock_guard lock(m_mutex);
    if (id == 0 || !FitsOneLine(name) || !FitsOneLine(value) || !HasRoom(m_properties.size()))
        return false;
    m_properties.push_back({id, name, kind, value});
    return true;
}

bool QueryFindings::SetCapabilityValue(uint32_t id, int32_t value) {
    std::lock_guard lock(m_mutex);
    if (!HasRoom(m_values.size()))
        return false;
    m_values.emplace_back(id, value);
    return true;
}

bool QueryFindings::SetCapabilityText(const char* name, const char* text) {
    std::lock_guard lock(m_mutex);
    if (!FitsOneLine(name) || !FitsOneLine(text) || !HasRoom(m_texts.size()))
        return false;
    m_texts.emplace_back(name, text);
    return true;
}

std::optional<int32_t> QueryFindings::Value(uint32_t id) const {
    for (const auto& [valueId, value] : m_values)
        if (valueId == id)
            return value;
    return std::nullopt;
}

void QueryFindings::Print(FILE* out) const {
    std::lock_guard lock(m_mutex);
    std::fprintf(out, "device: %s %s (%s)\n", m_manufacturer.c_str(), m_model.c_str(), m_description.c_str());
    for (const QueryProperty& property : m_properties)
        std::fprintf(out, "property %u \"%s\" (%s): %s\n", property.id, property.name.c_str(), KindName(property.kind),
                     property.value.c_str());
    for (const auto& [id, value] : m_values)
        std::fprintf(out, "capability %u: %d\n", id, value);
    for (const auto& [name, text] : m_texts)
        std::fprintf(out, "capability \"%s\": %s\n", name.c_str(), text.c_str());
}

std::string QueryFindings::ProfileText(const DeviceProfile& connection) const {
    std::lock_guard lock(m_mutex);
    std::string text = "# " + m_description + " at " + connection.address + ":" + std::to_string(connection.port) +
                       ", written by fennwick-host query\n";
    text += "address=" + connection.address + "\nport=" + std::to_string(connection.port) + "\n";
    text += "user=" + connection.user + "\npassword=" + connection.password + "\n";
    text += "model=" + m_model + "\n";
    // Counts the driver left out are 0 (it reports only those that are not).
    text += "inputs=" + std::to_string(std::max(0, Value(kCapabilityDigitalInputs).value_or(0))) + "\n";
    text += "outputs=" + std::to_string(std::max(0, Value(kCapabilityDigitalOutputs).value_or(0))) + "\n";
    for (const QueryProperty& property : m_properties)
        if (property.id == kPropertyGeneration && property.value == kJpegOnlyGeneration)
            text += "codec=jpeg\n";
    for (const QueryProperty& property : m_properties)
        text += "# " + property.name + "\n" + std::to_string(property.id) + "=" + property.value + "\n";
    return text;
}

std::optional<std::string> SaveProfileFile(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return "cannot write " + path + ": " + std::strerror(errno);
    // A profile written before keeps its mode through O_TRUNC; the password must not.
    if (fchmod(fd, 0600) != 0) {
        const int error = errno;
        close(fd);
        return "cannot restrict " + path + " to its owner: " + std::strerror(error);
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = errno;
            close(fd);
            return "cannot write " + path + ": " + std::strerror(error);
        }
        written += size_t(count);
    }
    if (close(fd) != 0)
        return "cannot write " + path + ": " + std::strerror(errno);
    return std::nullopt;
}

} // namespace fennwick_host
