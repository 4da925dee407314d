// Fuzzes the GmTime reader: any text reads as a time or as none, and a time
// it reads, written back, reads again within the two seconds the writer adds.
#include "timesync/GmTime.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const talvex::CTime time = talvex::ReadGmTime(std::string_view(reinterpret_cast<const char*>(data), size));
    if (time.IsEmpty())
        return 0;
    const talvex::CTime again = talvex::ReadGmTime(talvex::WriteGmTime(time));
    constexpr uint64_t kTwoSeconds = 2 * 10000000ULL;
    if (again < time || again.Value() - time.Value() > kTwoSeconds)
        __builtin_trap();
    return 0;
}
