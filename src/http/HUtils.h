// Request helpers on top of Web::CHttpSender: one GET turned into a CResultDef
// with the driver's standard messages.
#pragma once

#include "common/CResultDef.h"
#include "http/CHttpSender.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvex::HUtils {

// Result rows (code, detail).
inline constexpr uint32_t kCodeSuccess = 3;
inline constexpr uint32_t kCodeHttpStatus = 1;
inline constexpr uint32_t kCodeEmptyBody = 2;
inline constexpr uint32_t kCodeNoAnswer = 4;
inline constexpr uint32_t kDetailOtherStatus = 8;
inline constexpr uint32_t kDetailNotFound = 9;
inline constexpr uint32_t kDetailUnauthorized = 10;
inline constexpr uint32_t kDetailNoAnswer = 11;
inline constexpr uint32_t kDetailEmptyBody = 12;

// GET path; leaves exactly one result row in result. With readBody the whole
// body is read into body (emptied first) and an empty body is a failure.
void RequestGetRD(CResultDef& result, Web::CHttpSender& sender, const std::string& path,
                  std::vector<uint8_t>& body, bool readBody);

// GET without reading the body.
CResultDef SendCommand(Web::CHttpSender& sender, const std::string& path);
// GET with the body; on success the body is appended to text.
bool RequestText(Web::CHttpSender& sender, const std::string& path, std::string& text);
// True when the GET succeeded (detail 0).
bool RequestOk(Web::CHttpSender& sender, const std::string& path);

} // namespace talvex::HUtils
