#include "http/InquiryValue.h"

namespace talvex {

namespace {

std::string_view TrimSpacesAndTabs(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string GetInquiryValue(std::string_view text, std::string_view key, std::string_view valueSeparator,
                            std::string_view separators) {
    if (text.empty() || key.empty() || valueSeparator.empty() || separators.empty())
        return {};

    for (size_t occurrence = text.find(key); occurrence != std::string_view::npos;
         occurrence = text.find(key, occurrence + 1)) {
        const size_t lastSeparator = occurrence == 0 ? std::string_view::npos
                                                     : text.find_last_of(separators, occurrence - 1);
        const size_t itemBegin = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
        size_t itemEnd = text.find_first_of(separators, occurrence);
        if (itemEnd == std::string_view::npos)
            itemEnd = text.size();

        const size_t valueSeparatorPos = text.find(valueSeparator, occurrence);
        if (valueSeparatorPos == std::string_view::npos)
            return {};
        // The key text may also occur inside a value or a longer name
        // ("JpImageSize" holds "ImageSize"): only an item named exactly key counts.
        if (valueSeparatorPos >= itemEnd)
            continue;
        if (TrimSpacesAndTabs(text.substr(itemBegin, valueSeparatorPos - itemBegin)) != key)
            continue;

        const size_t valueBegin = valueSeparatorPos + valueSeparator.size();
        if (valueBegin >= text.size())
            return {};
        size_t valueEnd = text.find_first_of(separators, valueBegin);
        if (valueEnd == std::string_view::npos)
            valueEnd = text.size();
        return std::string(text.substr(valueBegin, valueEnd - valueBegin));
    }
    return {};
}

} // namespace talvex
