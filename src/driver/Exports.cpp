// The C entry points of libfennwick.so. Each family is one function exported
// under several names (ELF aliases), so every name is the same entry.
#include <talvex/ipcapture/Exports.h>

#include "capability/CCapabilityQueryHolder.h"
#include "driver/CSonyIPCaptureDriver.h"

#include <new>

using talvex::ipcapture::ICapabilityQueryCallback;
using talvex::ipcapture::ICapabilityQueryResult;
using talvex::ipcapture::IIPCapabilityQuery;
using talvex::ipcapture::IIPCaptureDriver;
using talvex::ipcapture::IIPCaptureDriverEx5;

namespace {

// The capability query module of InitCapabilityQuery, one per library instance.
talvex::CCapabilityQueryHolder& LibraryQuery() {
    static talvex::CCapabilityQueryHolder holder;
    return holder;
}

} // namespace

extern "C" {

IIPCaptureDriverEx5* CreateIPCapture(void) {
    try {
        // IIPCaptureDriverEx5 is the first base: the pointer serves every older version.
        return new (std::nothrow) talvex::CSonyIPCaptureDriver;
    } catch (...) {
        return nullptr;
    }
}

void DeleteIPCapture(IIPCaptureDriver* driver) {
    // The virtual destructor closes the driver first; destructors do not throw.
    delete driver;
}

#define FENNWICK_ALIAS(target) __attribute__((alias(#target), visibility("default")))

IIPCaptureDriverEx5* CreateIPCaptureEx(void) FENNWICK_ALIAS(CreateIPCapture);
IIPCaptureDriverEx5* CreateIPCaptureEx2(void) FENNWICK_ALIAS(CreateIPCapture);
IIPCaptureDriverEx5* CreateIPCaptureEx3(void) FENNWICK_ALIAS(CreateIPCapture);
IIPCaptureDriverEx5* CreateIPCaptureEx4(void) FENNWICK_ALIAS(CreateIPCapture);
IIPCaptureDriverEx5* CreateIPCaptureEx5(void) FENNWICK_ALIAS(CreateIPCapture);
void DeleteIPCaptureEx(IIPCaptureDriver* driver) FENNWICK_ALIAS(DeleteIPCapture);
void DeleteIPCaptureEx2(IIPCaptureDriver* driver) FENNWICK_ALIAS(DeleteIPCapture);
void DeleteIPCaptureEx3(IIPCaptureDriver* driver) FENNWICK_ALIAS(DeleteIPCapture);
void DeleteIPCaptureEx4(IIPCaptureDriver* driver) FENNWICK_ALIAS(DeleteIPCapture);
void DeleteIPCaptureEx5(IIPCaptureDriver* driver) FENNWICK_ALIAS(DeleteIPCapture);

IIPCapabilityQuery* CreateCapabilityQueryModule(ICapabilityQueryCallback* callback, bool markHighRates) {
    try {
        return talvex::CCapabilityQueryHolder::CreateModule(callback, markHighRates);
    } catch (...) {
        return nullptr;
    }
}

// The same rule as DeleteIPCapture: any object whose first slot is a virtual destructor.
void DeleteCapabilityQueryModule(IIPCapabilityQuery* module) {
    delete module;
}

int InitCapabilityQuery(ICapabilityQueryCallback* callback, bool markHighRates) {
    try {
        return LibraryQuery().Init(callback, markHighRates) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int StartCapabilityQuery(const char* address, uint16_t port, const char* user, const char* password,
                         ICapabilityQueryResult* result) {
    try {
        return LibraryQuery().Start(address, port, user, password, result) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int TerminateCapabilityQuery(void) {
    try {
        LibraryQuery().Terminate();
    } catch (...) {
        // A lock that cannot be taken leaves the query running; it still ends on its own.
    }
    return 1;
}

int UninitCapabilityQuery(void) {
    try {
        LibraryQuery().Uninit();
    } catch (...) {
        // As above: the module stays until the library unloads.
    }
    return 1;
}

} // extern "C"
