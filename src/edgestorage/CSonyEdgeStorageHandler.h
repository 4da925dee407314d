// The edge storage handler of a Sony device: the base handler with a Sony task.
#pragma once

#include "edgestorage/CBaseEdgeStorageHandler.h"

namespace talvex {

class CSonyEdgeStorageHandler : public CBaseEdgeStorageHandler {
public:
    CSonyEdgeStorageHandler(IDriver* driver, uint32_t queueLimit, Clock clock = &CTime::Now);
};

} // namespace talvex
