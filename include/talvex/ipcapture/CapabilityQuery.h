// The standalone query through which the host's configuration tools learn what
// a device supports, without opening a driver. The host gives a callback when
// it makes the query module and a result object with every query; the module
// identifies the device on a thread of its own, writes its findings into the
// result object and then calls the callback from that thread.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

// Why a query failed, as the failure slot of the callback reports it.
enum CapabilityQueryFailure : uint32_t {
    kCapabilityInvalidAddress = 0,  // the device address is not valid
    kCapabilityLoginFailed = 1,     // the device refused the credentials
    kCapabilityUnreachable = 2,     // the device is offline or unreachable
    kCapabilityOtherFailure = 3,    // internal error, results not saved, other fetch errors
};

// How the value of a device property is to be read; every value travels as text
// (a number in decimal, yes/no as "1" or "0").
enum DevicePropertyKind : uint32_t {
    kDevicePropertyNumber = 1,
    kDevicePropertyText = 2,
    kDevicePropertyYesNo = 3,
};

// Host object that receives the findings of one query. Strings are valid only
// during the call. A false result makes the query fail (results not saved).
class ICapabilityQueryResult {
public:
    virtual ~ICapabilityQueryResult() = default;                                            // slot 0
    // Who made the device and what it is ("Sony", model, "<model> Network Camera").
    virtual bool SetDeviceIdentity(const char* manufacturer, const char* model,
                                   const char* description) = 0;                            // slot 1
    // One numbered device property the host stores and hands back through
    // IDeviceSettings::GetParameter(id) at every open.
    virtual bool SetDeviceProperty(uint32_t id, const char* name, uint32_t kind,
                                   const char* value) = 0;                                  // slot 2
    // One numbered capability value (digital input count, stream count, ...).
    virtual bool SetCapabilityValue(uint32_t id, int32_t value) = 0;                        // slot 3
    // One named capability entry ("Live Stream: Supported Codecs" -> "h264,jpeg").
    virtual bool SetCapabilityText(const char* name, const char* text) = 0;                 // slot 4
};

// Host callback given when the module is made; called from the module's fetch thread.
class ICapabilityQueryCallback {
public:
    virtual ~ICapabilityQueryCallback() = default;                                          // slot 0
    // The findings are in the result object.
    virtual void OnQueryCompleted() = 0;                                                    // slot 1
    // code is a CapabilityQueryFailure; text says why, never with credentials.
    virtual void OnQueryFailed(uint32_t code, const char* text) = 0;                        // slot 2
    // The fetch thread outlived the module's bounded wait at destruction; the
    // module still waits for it to end, since no thread is ever killed here.
    virtual void OnQueryThreadKilled() = 0;                                                 // slot 3
};

class IIPCapabilityQuery {
public:
    virtual ~IIPCapabilityQuery() = default;                                                // slot 0
    // Starts one query on the module's fetch thread; false when a query still
    // runs, an argument is missing or the thread could not start. The result
    // object must stay valid until the callback has been called.
    virtual bool StartQuery(const char* address, uint16_t port, const char* user, const char* password,
                            ICapabilityQueryResult* result) = 0;                            // slot 1
    // Asks a running query to stop before its next request; it then reports a failure.
    virtual void CancelQuery() = 0;                                                         // slot 2
};

} // namespace talvex::ipcapture
