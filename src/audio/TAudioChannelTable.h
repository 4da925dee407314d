// The channels of one audio object keyed by the host's id, up to a limit:
// what CIPAudioCapture and CIPAudioSender share. Channels are held by shared
// reference so that a call made after leaving the lock (a frame handed to a
// channel) cannot meet a channel that a concurrent stop has destroyed.
#pragma once

#include "common/CRecursiveLock.h"

#include <talvex/ipcapture/AudioCapture.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace talvex {

template <class Channel>
class TAudioChannelTable {
public:
    explicit TAudioChannelTable(uint32_t limit) : m_limit(limit) {}
    ~TAudioChannelTable() {
        std::map<uint32_t, std::shared_ptr<Channel>> channels;
        {
            CAutoLock lock(m_lock);
            channels.swap(m_channels);
        }
        for (auto& [id, channel] : channels)
            channel->StopChannel();
    }
    TAudioChannelTable(const TAudioChannelTable&) = delete;
    TAudioChannelTable& operator=(const TAudioChannelTable&) = delete;

    uint32_t GetChannelCount() {
        CAutoLock lock(m_lock);
        return uint32_t(m_channels.size());
    }

    // make() returns a new channel or null. True at once for an id that runs.
    template <class Make>
    bool StartChannel(uint32_t id, Make make) {
        CAutoLock lock(m_lock);
        if (m_channels.count(id))
            return true;
        if (m_channels.size() >= m_limit)
            return false;
        std::shared_ptr<Channel> channel(make());
        if (!channel)
            return false;
        if (!channel->StartChannel()) {
            channel->StopChannel();
            return false;
        }
        m_channels.emplace(id, std::move(channel));
        return true;
    }

    // The channel is stopped outside the lock; false for an unknown id.
    bool StopChannel(uint32_t id) {
        std::shared_ptr<Channel> channel = Take(id);
        return channel && channel->StopChannel();
    }

    uint32_t GetChannelStatus(uint32_t id) {
        std::shared_ptr<Channel> channel = Find(id);
        return channel ? channel->GetStatus() : uint32_t(ipcapture::ChannelStopped);
    }

    // A reference that keeps the channel alive outside the lock; empty when absent.
    std::shared_ptr<Channel> Find(uint32_t id) {
        CAutoLock lock(m_lock);
        auto it = m_channels.find(id);
        return it == m_channels.end() ? nullptr : it->second;
    }

    CRecursiveLock& GetLock() { return m_lock; }

private:
    std::shared_ptr<Channel> Take(uint32_t id) {
        CAutoLock lock(m_lock);
        auto it = m_channels.find(id);
        if (it == m_channels.end())
            return nullptr;
        std::shared_ptr<Channel> channel = std::move(it->second);
        m_channels.erase(it);
        return channel;
    }

    const uint32_t m_limit;
    CRecursiveLock m_lock;
    std::map<uint32_t, std::shared_ptr<Channel>> m_channels;
};

} // namespace talvex
