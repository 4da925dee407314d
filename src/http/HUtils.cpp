#include "http/HUtils.h"

#include "common/StringFormat.h"

namespace talvex::HUtils {

namespace {

constexpr const char* kMethod = "talvex::HUtils::RequestGetRD";

void SetStatusResult(CResultDef& result, uint32_t status, const char* device, const char* path) {
    if (status >= 200 && status < 300)
        return;
    if (status == 401)
        result.SetResultEx(kCodeHttpStatus, kDetailUnauthorized,
                           "%s: %s is unable to process \"%s\" request: credentials are invalid", kMethod, device,
                           path);
    else if (status == 404)
        result.SetResultEx(kCodeHttpStatus, kDetailNotFound, "%s: The \"%s\" URL was not found on %s", kMethod, path,
                           device);
    else
        result.SetResultEx(kCodeHttpStatus, kDetailOtherStatus,
                           "%s: %s is unable to process \"%s\" request. HTTP status code is %u", kMethod, device,
                           path, status);
}

} // namespace

void RequestGetRD(CResultDef& result, Web::CHttpSender& sender, const std::string& path,
                  std::vector<uint8_t>& body, bool readBody) {
    result.SetResultEx(kCodeSuccess, 0, nullptr);
    const DEVICE_INFO& device = sender.GetDeviceInfo();
    const std::string deviceText = FormatString("device %s:%u", device.address.c_str(), unsigned(device.port));
    Web::HttpRequest request;
    request.path = path;
    body.clear();

    if (!sender.Send(request) || sender.GetStatusCode() == 0) {
        result.SetResultEx(kCodeNoAnswer, kDetailNoAnswer, "%s: Cannot send request \"%s\" to %s", kMethod,
                           path.c_str(), deviceText.c_str());
        return;
    }
    SetStatusResult(result, sender.GetStatusCode(), deviceText.c_str(), path.c_str());
    if (readBody && result.GetDetail() == 0 && sender.ReadAll(body) == 0)
        result.SetResultEx(kCodeEmptyBody, kDetailEmptyBody, "%s: Incorrect response for request \"%s\" from %s",
                           kMethod, path.c_str(), deviceText.c_str());
}

CResultDef SendCommand(Web::CHttpSender& sender, const std::string& path) {
    CResultDef result;
    std::vector<uint8_t> body;
    RequestGetRD(result, sender, path, body, false);
    return result;
}

bool RequestText(Web::CHttpSender& sender, const std::string& path, std::string& text) {
    CResultDef result;
    std::vector<uint8_t> body;
    RequestGetRD(result, sender, path, body, true);
    if (result.GetDetail() != 0)
        return false;
    text.append(body.begin(), body.end());
    return true;
}

bool RequestOk(Web::CHttpSender& sender, const std::string& path) {
    return SendCommand(sender, path).GetDetail() == 0;
}

} // namespace talvex::HUtils
