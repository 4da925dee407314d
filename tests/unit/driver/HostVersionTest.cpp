#include "driver/HostVersion.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace talvex {
namespace {

bool SameVersion(const std::optional<HostVersion>& version, HostVersion expected) {
    return version && version->major == expected.major && version->minor == expected.minor &&
           version->build == expected.build && version->revision == expected.revision;
}

TEST(HostVersion, ParsesFourDecimalPartsAndRefusesAnythingElse) {
    EXPECT_TRUE(SameVersion(ParseHostVersion("6.3.1.2"), {6, 3, 1, 2}));
    EXPECT_TRUE(SameVersion(ParseHostVersion("0.0.0.0"), {0, 0, 0, 0}));
    EXPECT_TRUE(SameVersion(ParseHostVersion("65535.65535.65535.65535"), {65535, 65535, 65535, 65535}));
    for (const char* text : {"", "6", "6.3", "6.3.1", "6.3.1.2.5", "6.3.1.", ".6.3.1", "6..3.1", "6.3.1.x",
                             "6.3.1.65536", "6.3.1.000001", "-6.3.1.2", "6.3.1.2 ", "+6.3.1.2"})
        EXPECT_FALSE(ParseHostVersion(text)) << '"' << text << '"';
}

TEST(HostVersion, ReadsTheCoreLibraryFileName) {
    EXPECT_TRUE(SameVersion(ParseHostCoreFileName("libquorvane.so.5.11.2.9"), {5, 11, 2, 9}));
    for (const char* name : {"libquorvane.so", "libquorvane.so.6", "libquorvanex.so.6.3.0.0", "xlibquorvane.so.6.3.0.0"})
        EXPECT_FALSE(ParseHostCoreFileName(name)) << name;
}

TEST(HostVersion, DefaultsTo5_12WithoutAHostCoreLibrary) {
    EXPECT_TRUE(SameVersion(ReadHostVersion(), {5, 12, 0, 0}));
}

TEST(HostVersion, FindsALoadedHostCoreLibraryByItsFileName) {
    void* library = dlopen(FENNWICK_HOST_CORE_FIXTURE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_TRUE(SameVersion(ReadHostVersion(), {7, 1, 2, 3}));
    dlclose(library);
}

} // namespace
} // namespace talvex
