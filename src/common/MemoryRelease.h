// Gives memory this process has freed back to the system (glibc's
// malloc_trim). Large blocks freed after a rare burst (an oversized frame and
// its packets) otherwise stay with the allocator arena of the thread that
// freed them, for as long as the process runs. Process-wide and not free:
// called only after such a release, never per frame.
#pragma once

namespace talvex {

void ReleaseFreedMemory();

} // namespace talvex
