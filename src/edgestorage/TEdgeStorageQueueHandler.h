// The video receiving thread of an edge storage handler: works through the
// queued intervals one at a time and hands each to its owner.
#pragma once

#include "common/CQueueThread.h"
#include "edgestorage/CEdgeStorageTaskItem.h"

namespace talvex {

template <class Owner>
class TEdgeStorageQueueHandler : public CQueueThread<CEdgeStorageTaskItem> {
public:
    static constexpr uint32_t kStopTimeoutMs = 5000;

    TEdgeStorageQueueHandler(Owner& owner, IDriver* driver) : CQueueThread(driver), m_owner(owner) {}
    ~TEdgeStorageQueueHandler() override { Stop(kStopTimeoutMs); }

protected:
    void ProcessItem(CEdgeStorageTaskItem* item) override { m_owner.ProcessEdgeStorageTaskItem(*item); }

private:
    Owner& m_owner;
};

} // namespace talvex
