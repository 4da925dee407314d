// The camera's clock value "GmTime" of "inq=system": "YYMMDDhhmmssW", the
// date and time on the camera's UTC clock (two-digit year from 2000) and one
// further digit. Pure code over text so that it can be fuzzed on its own.
#pragma once

#include "common/CTime.h"

#include <string>
#include <string_view>

namespace talvex {

// Digits of the date and time; the further digit may follow.
inline constexpr size_t kGmTimeDigits = 12;

// The camera's time; empty (0) when the value does not read as a date and
// time. The value is UTC: reading it as local time would put every computer
// outside UTC off by its zone offset, and the clock would be set at each check.
CTime ReadGmTime(std::string_view value);

// The value that sets the camera's clock to now. Below 57 seconds two seconds
// are added for the time the request takes, never carried into the minute.
std::string WriteGmTime(CTime now);

} // namespace talvex
