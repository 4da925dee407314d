// The standalone query through which the host's tools learn what a device supports.
#pragma once

#include <cstdint>

namespace talvex::ipcapture {

// Host object that receives the query's findings; declared with the query module.
class ICapabilityQueryResult;

class IIPCapabilityQuery {
public:
    virtual ~IIPCapabilityQuery() = default;                                   // slot 0
    virtual bool StartQuery(const char* address, uint16_t port, const char* user, const char* password,
                            ICapabilityQueryResult* result) = 0;               // slot 1
    virtual void CancelQuery() = 0;                                            // slot 2
};

} // namespace talvex::ipcapture
