#include "edgestorage/CSonyEdgeStorageHandler.h"

#include "edgestorage/CSonyEdgeStorageTask.h"

#include <new>

namespace talvex {

CSonyEdgeStorageHandler::CSonyEdgeStorageHandler(IDriver* driver, uint32_t queueLimit, Clock clock)
    : CBaseEdgeStorageHandler(driver, queueLimit, std::move(clock)) {
    try {
        SetTask(std::make_unique<CSonyEdgeStorageTask>(*this, driver));
    } catch (const std::exception&) {
        // Without a task the handler registers no channel and queues nothing.
        driver->DebugMessage(1, "%s: Unable to create IEdgeStorageTask module for device %s",
                             "talvex::CSonyEdgeStorageHandler::CSonyEdgeStorageHandler",
                             driver->GetDeviceTag().c_str());
    }
}

} // namespace talvex
