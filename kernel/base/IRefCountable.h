#pragma once

#include <atomic>
#include <cstdint>

namespace nuvo {

// Intrusive reference count: starts at 1 for the creator; Retain/Release change it atomically
// and the last Release calls DoOnRefCountZero, which deletes the object. Thread-safe for the
// count itself; the object's other state is the class's business.
class IRefCountable {
public:
    IRefCountable() = default;
    // A copy is a new object: it starts with its own count of 1.
    IRefCountable(const IRefCountable&) : fRefCount(1) {}
    IRefCountable& operator=(const IRefCountable&) { return *this; }

    // Returns the new count. The tag names the caller when debugging and is otherwise ignored.
    virtual int32_t Retain(const char* tag = nullptr) const;
    virtual int32_t Release(const char* tag = nullptr) const;
    virtual void ReleaseDependencies() {}

    int32_t GetRefCount() const { return fRefCount.load(std::memory_order_acquire); }

protected:
    virtual ~IRefCountable() = default;
    virtual void DoOnRefCountZero() { delete this; }

private:
    mutable std::atomic<int32_t> fRefCount{1};
};

inline int32_t IRefCountable::Retain(const char*) const
{
    return fRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

inline int32_t IRefCountable::Release(const char*) const
{
    int32_t count = fRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0)
        const_cast<IRefCountable*>(this)->DoOnRefCountZero();
    return count;
}

// Null-safe helpers for raw reference-counted pointers.
template <class T> T* RetainRefCountable(T* object)
{
    if (object)
        object->Retain();
    return object;
}
template <class T> void ReleaseRefCountable(T** object)
{
    if (*object) {
        (*object)->Release();
        *object = nullptr;
    }
}

} // namespace nuvo
