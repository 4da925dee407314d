// The option list negotiated with a camera of generation 6 or later: ordered
// key/value pairs, sent as a change list against the camera's inquiry or as
// the context of a capability query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvex {

class G6CGIOptions {
public:
    // Appends the pair when key and text are both non-empty; an earlier pair
    // with the same key stays.
    void Set(const std::string& key, std::string_view text);
    void Set(const std::string& key, uint32_t number);
    // Written with "%g".
    void Set(const std::string& key, double number);
    void Clear() { m_pairs.clear(); }
    bool Empty() const { return m_pairs.empty(); }
    bool Has(std::string_view key, std::string_view text) const;

    // "&key=value" for every pair whose key the inquiry reports with another,
    // non-empty value.
    std::string ToChangeList(std::string_view inquiry) const;
    // "&key=value" for every pair; "JpegQuality<n>" is written "Quality<n>",
    // the name capability queries take.
    std::string ToCapabilityList() const;

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

} // namespace talvex
