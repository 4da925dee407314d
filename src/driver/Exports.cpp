// The C entry points of libfennwick.so. Each family is one function exported
// under several names (ELF aliases), so every name is the same entry.
#include <talvex/ipcapture/Exports.h>

#include "driver/CSonyIPCaptureDriver.h"

#include <new>

using talvex::ipcapture::IIPCaptureDriver;
using talvex::ipcapture::IIPCaptureDriverEx5;

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

} // extern "C"
