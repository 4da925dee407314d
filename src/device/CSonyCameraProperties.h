// The camera properties of a Sony camera or video server: identification,
// digital inputs and outputs, video streams (asked of the camera on
// generations 6 and 7, probed size by size below), privacy masks and audio.
// Every request first looks at the stop event, so a cancel ends the fetch
// between two requests.
#pragma once

#include "device/CBaseCameraProperties.h"
#include "device/CSonyDeviceInfo.h"
#include "http/CHttpSender.h"

#include <cstdint>
#include <optional>
#include <vector>
#include <string>

namespace talvex {

class CSonyCameraProperties : public CBaseCameraProperties {
public:
    CSonyCameraProperties(const DEVICE_INFO& device, bool markHighRates);

    bool Fetch(uint32_t& failureReason) override;
    const CSonyDeviceInfo& GetDeviceInfo() const { return m_info; }

private:
    bool Identify();
    bool CountInputsAndOutputs();
    bool GatherStreams();
    bool ExamineStreams();
    bool ExamineStream(uint32_t number, uint32_t count, StreamFacts& stream);
    std::string StreamContext(uint32_t number, uint32_t count) const;
    // The tokens of a capability answer; nullopt when the request failed or named none.
    std::optional<std::vector<std::string>> Capable(const std::string& target, const std::string& context);
    bool ProbeStreams();
    bool ProbeSizes(StreamFacts& stream);
    bool ReadPrivacy();
    void RecordIdentity();

    // GET path; on success body holds the answer (when readBody). A failure
    // records its reason and an error text naming the path and status.
    bool Get(const std::string& path, std::string& body, bool readBody = true);
    // A request the device refused or could not answer ends the whole fetch;
    // other failures only leave a fact unknown.
    bool DeviceGone() const;
    void Fail(uint32_t reason, std::string text);
    void ForgetFailure();

    Web::CHttpSender m_http;
    CSonyDeviceInfo m_info;
    std::string m_answer; // identification answer: "inq=system&inq=camera" (or sysinfo)
    uint32_t m_failureReason = kPropertiesNoFailure;
};

} // namespace talvex
