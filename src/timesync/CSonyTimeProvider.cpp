#include "timesync/CSonyTimeProvider.h"

#include "common/StringFormat.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <system_error>
#include <vector>

namespace talvex {

namespace {

constexpr uint32_t kErrorLevel = 1;

// Guards making, using and destroying the provider.
std::mutex g_providerLock;
std::unique_ptr<CSonyTimeProvider> g_provider;

uint32_t ResolveIPv4(const std::string& host) {
    if (host.empty())
        return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return 0;
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return address;
}

} // namespace

std::string CSonyTimeProvider::DeviceKey(const DEVICE_INFO& device) {
    return FormatString("%.8x:%hu", ResolveIPv4(device.address), device.port);
}

std::string CSonyTimeProvider::Register(const DEVICE_INFO& device, IDebugMessage* log) {
    std::string key = DeviceKey(device);
    std::lock_guard lock(g_providerLock);
    if (!g_provider)
        g_provider = std::make_unique<CSonyTimeProvider>();
    g_provider->Add(key, device, log);
    if (!g_provider->StartThread() && log)
        log->DebugMessage(kErrorLevel, "talvex::CSonyTimeProvider::Register: the clock service thread cannot start; "
                                       "the clock of device %s:%u is not checked until a camera registers again",
                          device.address.c_str(), unsigned(device.port));
    return key;
}

void CSonyTimeProvider::Unregister(const std::string& key, IDebugMessage* log) {
    std::lock_guard lock(g_providerLock);
    if (g_provider && g_provider->Remove(key, log))
        g_provider.reset();
}

uint32_t CSonyTimeProvider::RegistrationCount(const std::string& key) {
    std::lock_guard lock(g_providerLock);
    if (!g_provider)
        return 0;
    std::lock_guard itemsLock(g_provider->m_lock);
    const auto found = g_provider->m_items.find(key);
    return found == g_provider->m_items.end() ? 0 : found->second.count;
}

CSonyTimeProvider::CSonyTimeProvider() = default;

CSonyTimeProvider::~CSonyTimeProvider() {
    StopThread();
}

void CSonyTimeProvider::Add(const std::string& key, const DEVICE_INFO& device, IDebugMessage* log) {
    std::lock_guard lock(m_lock);
    // The item is made before the entry, so a failed allocation leaves the map as it was.
    if (m_items.find(key) == m_items.end()) {
        auto item = std::make_unique<CSonySynchroItem>(device, kSyncIntervalSeconds);
        m_items[key].item = TSmartPtr<CSonySynchroItem>(item.get());
        item.release();
        m_wake.Set();
    }
    Entry& entry = m_items[key];
    if (entry.count == UINT16_MAX)
        return;
    ++entry.count;
    if (log)
        entry.item->AddLog(log);
}

bool CSonyTimeProvider::Remove(const std::string& key, IDebugMessage* log) {
    std::lock_guard lock(m_lock);
    const auto found = m_items.find(key);
    if (found != m_items.end()) {
        Entry& entry = found->second;
        if (log)
            entry.item->RemoveLog(log);
        if (--entry.count == 0) {
            entry.item->Deactivate();
            m_items.erase(found);
        }
    }
    return m_items.empty();
}

bool CSonyTimeProvider::StartThread() {
    if (m_thread.joinable())
        return true;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

// Items removed meanwhile have been deactivated, so a check in progress ends soon.
void CSonyTimeProvider::StopThread() {
    m_stop.Set();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void CSonyTimeProvider::Run() {
    CEvent* events[] = {&m_stop, &m_wake};
    while (CEvent::WaitAny(events, 2, kWakeIntervalSeconds * 1000) != 0)
        CheckItems();
}

// Checks run outside the lock: a slow camera must not hold up registrations.
void CSonyTimeProvider::CheckItems() {
    std::vector<TSmartPtr<CSonySynchroItem>> items;
    {
        std::lock_guard lock(m_lock);
        for (const auto& [key, entry] : m_items)
            items.push_back(entry.item);
    }
    for (const TSmartPtr<CSonySynchroItem>& item : items) {
        if (m_stop.Wait(0))
            return;
        if (item)
            item->Check();
    }
}

} // namespace talvex
