// Packet-arrival-to-frame-delivery latency, for the live-path benchmark. Only
// a build configured with -DFENNWICK_LATENCY_PROBE=ON measures: packets carry
// the monotonic time they were read from the socket, every frame handed to the
// host adds (now - arrival of the packet that completed it) to a process-wide
// histogram, and when the library is unloaded the figures are appended to the
// file named by the environment variable FENNWICK_LATENCY_FILE as
//   latency_frames=N p50_us=X p99_us=Y max_us=Z
// In every other build both calls compile to nothing.
#pragma once

#include <cstdint>

namespace talvex::LatencyProbe {

#ifdef FENNWICK_LATENCY_PROBE
uint64_t NowNs();
void RecordFrame(uint64_t arrivalNs);
#else
inline uint64_t NowNs() { return 0; }
inline void RecordFrame(uint64_t) {}
#endif

} // namespace talvex::LatencyProbe
