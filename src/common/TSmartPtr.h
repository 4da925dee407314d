// Shared reference with a small, separately allocated count (1..127). The
// count is atomic: references to one object are released from different
// threads (a waiting caller and a worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace talvex {

template <class T>
class TSmartPtr {
public:
    TSmartPtr() = default;
    // Takes ownership; the count starts at 1.
    explicit TSmartPtr(T* object);
    // Shares the object; empty when the count is 0 or would pass 127.
    TSmartPtr(const TSmartPtr& other);
    TSmartPtr(TSmartPtr&& other) noexcept;
    TSmartPtr& operator=(const TSmartPtr& other);
    TSmartPtr& operator=(TSmartPtr&& other) noexcept;
    ~TSmartPtr();

    // Drops this reference; the last one destroys the object.
    void Release();
    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    int8_t UseCount() const { return m_count ? m_count->load() : 0; }

private:
    T* m_object = nullptr;
    std::atomic<int8_t>* m_count = nullptr;
};

} // namespace talvex
