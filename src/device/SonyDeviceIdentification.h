// Fetching a Sony device's identification answer and parsing it.
#pragma once

#include "device/CSonyDeviceInfo.h"
#include "http/CHttpSender.h"

#include <cstdint>
#include <string>

namespace talvex {

class CEvent;

// Why identification failed, as the capability query reports it.
enum SonyIdentificationFailure : uint32_t {
    kIdentificationNoFailure = 0,
    kIdentificationCredentialsRefused = 1,
    kIdentificationNoAnswer = 2,
    kIdentificationOtherFailure = 3,
};

// Newer models answer the first path, older ones (no "system" group) the second.
inline constexpr const char* kSonyIdentificationPaths[] = {"/command/inquiry.cgi?inq=system&inq=camera",
                                                           "/command/inquiry.cgi?inq=sysinfo&inq=camera"};
inline constexpr uint32_t kIdentificationReadChunk = 10240;
// Identification answers are a few kilobytes; a peer cannot make us hold more.
inline constexpr uint32_t kMaxIdentificationAnswer = 1024 * 1024;

// Tries the paths in order until one answer parses; answer keeps the text that
// parsed. failureReason keeps the last HTTP failure (kIdentificationNoFailure
// when every request was answered). Stops, returning false, when stop is
// signalled; the sender's waits watch stop meanwhile.
bool IdentifySonyDevice(Web::CHttpSender& http, const CEvent& stop, CSonyDeviceInfo& info, std::string& answer,
                        uint32_t& failureReason);

} // namespace talvex
