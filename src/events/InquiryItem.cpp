#include "events/InquiryItem.h"

#include "http/InquiryValue.h"

namespace talvex {
namespace {

std::string_view TrimmedName(std::string_view name) {
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::optional<std::string> FindInquiryItem(std::string_view text, std::string_view key) {
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find_first_of(kInquiryItemSeparators, begin);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = text.substr(begin, end - begin);
        const size_t equals = item.find(kInquiryValueSeparator);
        if (equals != std::string_view::npos && !key.empty() && TrimmedName(item.substr(0, equals)) == key)
            return std::string(item.substr(equals + kInquiryValueSeparator.size()));
        begin = end + 1;
    }
    return std::nullopt;
}

} // namespace talvex
