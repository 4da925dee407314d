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
    static constexpr int8_t kMaxCount = 127;

    T* m_object = nullptr;
    std::atomic<int8_t>* m_count = nullptr;
};

template <class T>
TSmartPtr<T>::TSmartPtr(T* object) {
    if (!object)
        return;
    m_count = new std::atomic<int8_t>(1);
    m_object = object;
}

template <class T>
TSmartPtr<T>::TSmartPtr(const TSmartPtr& other) {
    if (!other.m_count)
        return;
    // Take a share only from a live count that has room for one more.
    int8_t current = other.m_count->load();
    do {
        if (current < 1 || current >= kMaxCount)
            return;
    } while (!other.m_count->compare_exchange_weak(current, int8_t(current + 1)));
    m_object = other.m_object;
    m_count = other.m_count;
}

template <class T>
TSmartPtr<T>::TSmartPtr(TSmartPtr&& other) noexcept
    : m_object(std::exchange(other.m_object, nullptr)), m_count(std::exchange(other.m_count, nullptr)) {}

template <class T>
TSmartPtr<T>& TSmartPtr<T>::operator=(const TSmartPtr& other) {
    if (this != &other) {
        TSmartPtr copy(other);
        *this = std::move(copy);
    }
    return *this;
}

template <class T>
TSmartPtr<T>& TSmartPtr<T>::operator=(TSmartPtr&& other) noexcept {
    if (this != &other) {
        Release();
        m_object = std::exchange(other.m_object, nullptr);
        m_count = std::exchange(other.m_count, nullptr);
    }
    return *this;
}

template <class T>
TSmartPtr<T>::~TSmartPtr() {
    Release();
}

template <class T>
void TSmartPtr<T>::Release() {
    std::atomic<int8_t>* count = std::exchange(m_count, nullptr);
    T* object = std::exchange(m_object, nullptr);
    if (!count)
        return;
    int8_t current = count->load();
    do {
        if (current < 1)
            return;
    } while (!count->compare_exchange_weak(current, int8_t(current - 1)));
    if (current == 1) {
        delete object;
        delete count;
    }
}

} // namespace talvex
