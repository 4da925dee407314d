// The camera's recording search CGI:
//   GET /command/search?mode=simple&Start=20261206T210000.000Z&End=20261206T211000.000Z
// answers 200 text/plain, one line per recording that overlaps [Start, End),
// oldest first, at most MAX_ENTRIES of them, then how many more there are:
//   StreamName=rec-1-000007,Start=20261206T205900.000Z,End=20261206T210000.000Z
//   Remain entry =0
// Times are UTC on the camera's clock. A missing or unreadable Start or End,
// another mode or End not after Start answers 400.
#pragma once

#include "HttpServer.h"
#include "RecordingStore.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camsim {

// "YYYYMMDDThhmmss.mmmZ" of a UTC time in ms since 1970, and back (nullopt
// for anything else or a time before 1970).
std::string FormatCameraTime(int64_t unixMs);
std::optional<int64_t> ParseCameraTime(std::string_view text);

class RecordingSearch {
public:
    static constexpr size_t MAX_ENTRIES = 8;

    // The answer body of a search that found these entries.
    static std::string FormatAnswer(const std::vector<RecordingEntry>& found);

    // Adds the route to the camera's web server; the store is kept as long as the route.
    static void AddRoute(HttpServer& http, std::shared_ptr<const RecordingStore> store);
};

} // namespace camsim
