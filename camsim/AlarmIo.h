// The camera's alarm CGIs on its web server:
//  - alarmout.cgi?Key=Value&...: sets the "inq=alarmout" keys (Camera's
//    HttpServer handles it with the other command CGIs);
//  - main.cgi?trigger=alarmouton|off (Single style), main.cgi?trigger=alarmoutNon|off
//    (Numbered), trigger.cgi?AlarmoutN=on|off (Suffixed): switch output N. A
//    model answers only the CGI of its style (404 otherwise). The output
//    switches only while it is under manual control as a driver configures it:
//    its function key "on" and, for Single and Numbered, the manual switch
//    "on" or the mode "manual"; for Suffixed, the mode "alarm", the period
//    "always" and a trigger naming a condition ("cond1"). Otherwise the camera
//    answers 200 and the relay follows its sensors and timers as before, that
//    is, it does not move;
//  - alarmdata.cgi?interval=S (1 to 60, default 1): once system.cgi has set
//    AlarmData=on, an endless multipart/x-mixed-replace answer, one record
//    every S seconds and at once on a change of an input, an output or the
//    motion window:
//        --alarmdata\r\nContent-Type: text/plain\r\n\r\n
//        OdWin1=0&...&MdWin1=1&...&AdWin2=0&Sensor1=0&AlarmOut1=0\r\n
//    Below generation 6 the windows report motion only after
//    motiondetection.cgi?MdAlarmData=on. The answer ends within 100 ms when
//    the server stops, and at the next record when the client went away.
// The sensor inquiry itself is the "sensor" group of the camera's state.
#pragma once

#include "AlarmState.h"
#include "HttpServer.h"

#include <atomic>

namespace camsim {

struct AlarmFaults {
    // Every alarm-data answer sends its first record, half of the second, and closes.
    std::atomic<bool> cutStream{false};
};

class AlarmIo {
public:
    // Adds its routes to http; state must outlive the routes (its camera).
    AlarmIo(HttpServer& http, CameraState& camera, AlarmState& state);
    AlarmIo(const AlarmIo&) = delete;
    AlarmIo& operator=(const AlarmIo&) = delete;

    AlarmFaults& Faults() { return m_faults; }
    // Whether output n (from 1) follows the trigger CGI now.
    bool UnderManualControl(uint32_t output) const;

private:
    void AnswerMainTrigger(HttpExchange& exchange);
    void AnswerTriggerCgi(HttpExchange& exchange);
    // Switches output n when it is under manual control; answers 200 either way.
    void Switch(HttpExchange& exchange, uint32_t output, bool on);
    void ServeAlarmData(HttpExchange& exchange);
    bool WindowsReport() const;

    CameraState& m_camera;
    AlarmState& m_state;
    AlarmFaults m_faults;
};

} // namespace camsim
