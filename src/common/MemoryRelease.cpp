#include "common/MemoryRelease.h"

#include <malloc.h>

namespace talvex {

void ReleaseFreedMemory() {
    malloc_trim(0);
}

} // namespace talvex
