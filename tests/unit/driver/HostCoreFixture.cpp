// A library that stands for the host's core library in tests: only its file
// name, libquorvane.so.7.1.2.3, matters.
extern "C" __attribute__((visibility("default"))) int HostCoreFixtureMarker() {
    return 7;
}
