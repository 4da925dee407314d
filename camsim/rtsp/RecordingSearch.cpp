#include "RecordingSearch.h"

#include <charconv>
#include <ctime>

namespace camsim {

namespace {

constexpr size_t TIME_TEXT_LENGTH = 20; // YYYYMMDDThhmmss.mmmZ

// The digits of text[offset, offset + count); nullopt when one is not a digit.
std::optional<int> Digits(std::string_view text, size_t offset, size_t count) {
    int value = 0;
    const char* first = text.data() + offset;
    const auto [end, error] = std::from_chars(first, first + count, value);
    if (error != std::errc() || end != first + count || *first == '-' || *first == '+')
        return std::nullopt;
    return value;
}

} // namespace

std::string FormatCameraTime(int64_t unixMs) {
    const time_t seconds = time_t(unixMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(unixMs % 1000 + 1000) % 1000);
    return text;
}

std::optional<int64_t> ParseCameraTime(std::string_view text) {
    if (text.size() != TIME_TEXT_LENGTH || text[8] != 'T' || text[15] != '.' || text[19] != 'Z')
        return std::nullopt;
    const auto year = Digits(text, 0, 4), month = Digits(text, 4, 2), day = Digits(text, 6, 2);
    const auto hour = Digits(text, 9, 2), minute = Digits(text, 11, 2), second = Digits(text, 13, 2);
    const auto ms = Digits(text, 16, 3);
    if (!year || !month || !day || !hour || !minute || !second || !ms || *year < 1970 || *month < 1 ||
        *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = *year - 1900;
    utc.tm_mon = *month - 1;
    utc.tm_mday = *day;
    utc.tm_hour = *hour;
    utc.tm_min = *minute;
    utc.tm_sec = *second;
    const time_t seconds = timegm(&utc);
    // timegm carries 31 February into March: only a date that comes back the same exists.
    std::tm check{};
    gmtime_r(&seconds, &check);
    if (check.tm_mday != *day)
        return std::nullopt;
    return int64_t(seconds) * 1000 + *ms;
}

std::string RecordingSearch::FormatAnswer(const std::vector<RecordingEntry>& found) {
    std::string answer;
    const size_t listed = std::min(found.size(), MAX_ENTRIES);
    for (size_t i = 0; i < listed; ++i)
        answer += "StreamName=" + found[i].name + ",Start=" + FormatCameraTime(found[i].startMs) +
                  ",End=" + FormatCameraTime(found[i].endMs) + "\r\n";
    return answer + "Remain entry =" + std::to_string(found.size() - listed) + "\r\n";
}

void RecordingSearch::AddRoute(HttpServer& http, std::shared_ptr<const RecordingStore> store) {
    http.AddRoute("/command/search", [store](HttpExchange& exchange) {
        std::string mode;
        std::optional<int64_t> start, end;
        for (const auto& [key, value] : SplitItems(exchange.Head().query)) {
            if (key == "mode")
                mode = value;
            else if (key == "Start")
                start = ParseCameraTime(PercentDecode(value));
            else if (key == "End")
                end = ParseCameraTime(PercentDecode(value));
        }
        if (mode != "simple" || !start || !end || *end <= *start)
            return void(exchange.SendResponse(400, "search wants mode=simple, Start and End (YYYYMMDDThhmmss.mmmZ)\r\n",
                                              {{"Content-Type", "text/plain"}}));
        exchange.SendResponse(200, FormatAnswer(store->Search(*start, *end)), {{"Content-Type", "text/plain"}});
    });
}

} // namespace camsim
