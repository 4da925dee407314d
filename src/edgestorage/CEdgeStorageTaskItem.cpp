#include "edgestorage/CEdgeStorageTaskItem.h"

namespace talvex {

std::unique_ptr<CEdgeStorageTaskItem> CEdgeStorageTaskItem::Make(uint32_t channel, uint64_t begin, uint64_t end) {
    if (begin == 0 || begin >= end)
        return nullptr;
    return std::make_unique<CEdgeStorageTaskItem>(channel, begin, end);
}

} // namespace talvex
