// Presence-aware lookup in the camera's "Key=Value" answers. The inquiry value
// reader answers an empty text both for a missing key and for an empty value;
// the alarm output configuration and the alarm records must tell them apart
// ("add the key only when the camera knows it", "a record naming no window").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvex {

// The value of the first item whose name (spaces and tabs around it ignored)
// is exactly key; items are separated by '&', CR or LF. nullopt when no item
// has that name.
std::optional<std::string> FindInquiryItem(std::string_view text, std::string_view key);

} // namespace talvex
