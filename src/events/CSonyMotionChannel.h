// Motion detection of a Sony camera: alarm data switched on, then the
// long-lived "/command/alarmdata.cgi?interval=1" answer read and cut into
// records; every pass starts again after a pause, so a dropped stream is
// opened again on its own. A record is read when the next one begins: the
// camera sends one at least every interval (1 s), which bounds the delay.
#pragma once

#include "common/CLoggerInstance.h"
#include "events/CAlarmRecordParser.h"
#include "events/CBaseMotionChannel.h"
#include "http/CHttpSender.h"

#include <string>

namespace talvex {

class CSonyMotionChannel : public CBaseMotionChannel {
public:
    static constexpr const char* kMotionAlarmDataPath = "/command/motiondetection.cgi?MdAlarmData=on";
    static constexpr const char* kAlarmDataPath = "/command/system.cgi?AlarmData=on";
    static constexpr const char* kAlarmStreamPath = "/command/alarmdata.cgi?interval=1";
    // Devices from this generation on have no separate motion alarm switch.
    static constexpr uint32_t kFirstGenerationWithoutMdAlarmData = 6;
    static constexpr uint32_t kReadChunkBytes = 4096;

    CSonyMotionChannel(uint32_t channel, IDriver* driver, ipcapture::IVideoChannelCallback* callback);
    ~CSonyMotionChannel() override;

    void AbortRequest() override;

protected:
    void ThreadFunction() override;
    const char* ThreadFunctionName() const override { return "talvex::CSonyMotionChannel::ThreadFunction"; }

private:
    bool EnableAlarmData();
    // False (with the cause logged once) when the request failed.
    bool Request(const char* path);
    void ReceiveAlarmData();
    bool OpenAlarmStream();
    void ReadAlarmStream();
    void ReportStates(const std::vector<bool>& states);
    // Camera trouble is logged once per cause; a stream that works again says so.
    void LogTrouble(const std::string& cause);
    void LogRecovery();

    Web::CHttpSender m_sender;
    CAlarmRecordParser m_parser;
    CLoggerInstance m_logger;
    bool m_troubleLogged = false;
};

} // namespace talvex
