// The C entry points of libfennwick.so.
//
// A host loads the library (dlopen), resolves these names (dlsym) and gets one
// driver object per device. The create functions are one and the same entry
// under several names, as are the delete functions.
//
// Host core version. The driver adapts its log levels and features to the
// version of the host's core library, read once when a driver object is made:
//  1. a C function the host process exports,
//       extern "C" const char* QuorvaneProductVersion(void);
//     answering "major.minor.build.revision" (each 0 to 65535), or null when
//     unknown. An executable exports it when linked with -rdynamic (CMake:
//     ENABLE_EXPORTS) and the function has default visibility;
//  2. otherwise the file name of a loaded "libquorvane.so.<a>.<b>.<c>.<d>";
//  3. otherwise 5.12.0.0.
#pragma once

#include <talvex/ipcapture/CapabilityQuery.h>
#include <talvex/ipcapture/CaptureDriver.h>

#define TALVEX_IPCAPTURE_EXPORT __attribute__((visibility("default")))

extern "C" {

// A new driver object, or null when it cannot be made.
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCapture(void);
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCaptureEx(void);
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCaptureEx2(void);
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCaptureEx3(void);
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCaptureEx4(void);
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCaptureDriverEx5* CreateIPCaptureEx5(void);

// Closes and destroys a driver object made by a create function; null is ignored.
TALVEX_IPCAPTURE_EXPORT void DeleteIPCapture(talvex::ipcapture::IIPCaptureDriver* driver);
TALVEX_IPCAPTURE_EXPORT void DeleteIPCaptureEx(talvex::ipcapture::IIPCaptureDriver* driver);
TALVEX_IPCAPTURE_EXPORT void DeleteIPCaptureEx2(talvex::ipcapture::IIPCaptureDriver* driver);
TALVEX_IPCAPTURE_EXPORT void DeleteIPCaptureEx3(talvex::ipcapture::IIPCaptureDriver* driver);
TALVEX_IPCAPTURE_EXPORT void DeleteIPCaptureEx4(talvex::ipcapture::IIPCaptureDriver* driver);
TALVEX_IPCAPTURE_EXPORT void DeleteIPCaptureEx5(talvex::ipcapture::IIPCaptureDriver* driver);

// Capability query, either as separate module objects the caller owns ...
// A new query module calling back through callback (kept, never owned), or null.
// markHighRates: frame rates above 30 travel as marked values in the results.
TALVEX_IPCAPTURE_EXPORT talvex::ipcapture::IIPCapabilityQuery* CreateCapabilityQueryModule(
    talvex::ipcapture::ICapabilityQueryCallback* callback, bool markHighRates);
// Destroys a module made by CreateCapabilityQueryModule (waiting for its query); null is ignored.
TALVEX_IPCAPTURE_EXPORT void DeleteCapabilityQueryModule(talvex::ipcapture::IIPCapabilityQuery* module);

// ... or as the one module the library holds.
// 1 when it made the library's module, 0 when one exists already (the first stays).
TALVEX_IPCAPTURE_EXPORT int InitCapabilityQuery(talvex::ipcapture::ICapabilityQueryCallback* callback,
                                                bool markHighRates);
// The module's StartQuery result as 1 or 0; 0 when address, user or password is
// null or InitCapabilityQuery has not made the module.
TALVEX_IPCAPTURE_EXPORT int StartCapabilityQuery(const char* address, uint16_t port, const char* user,
                                                 const char* password,
                                                 talvex::ipcapture::ICapabilityQueryResult* result);
// Asks the library's module to cancel its query; 1.
TALVEX_IPCAPTURE_EXPORT int TerminateCapabilityQuery(void);
// Destroys the library's module, if any (waiting for its query); 1.
TALVEX_IPCAPTURE_EXPORT int UninitCapabilityQuery(void);

} // extern "C"

// Function types for dlsym.
using CreateIPCaptureFn = talvex::ipcapture::IIPCaptureDriverEx5* (*)();
using DeleteIPCaptureFn = void (*)(talvex::ipcapture::IIPCaptureDriver*);
using CreateCapabilityQueryModuleFn =
    talvex::ipcapture::IIPCapabilityQuery* (*)(talvex::ipcapture::ICapabilityQueryCallback*, bool);
using DeleteCapabilityQueryModuleFn = void (*)(talvex::ipcapture::IIPCapabilityQuery*);
using InitCapabilityQueryFn = int (*)(talvex::ipcapture::ICapabilityQueryCallback*, bool);
using StartCapabilityQueryFn = int (*)(const char*, uint16_t, const char*, const char*,
                                       talvex::ipcapture::ICapabilityQueryResult*);
using TerminateCapabilityQueryFn = int (*)();
using UninitCapabilityQueryFn = int (*)();
