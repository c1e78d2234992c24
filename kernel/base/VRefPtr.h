#pragma once

#include <utility>

#include "kernel/base/IRefCountable.h"

namespace nuvo {

// Owns one reference to an IRefCountable object: retains on copy, releases on destruction,
// moves without touching the count. Adopt() takes over a reference the caller already owns
// (the result of a Retain... function or of new).
template <class T> class VRefPtr {
public:
    VRefPtr() = default;
    VRefPtr(std::nullptr_t) {}
    // Retains: the caller keeps its own reference.
    explicit VRefPtr(T* object) : fObject(object) { if (fObject) fObject->Retain(); }
    VRefPtr(const VRefPtr& other) : VRefPtr(other.fObject) {}
    VRefPtr(VRefPtr&& other) noexcept : fObject(std::exchange(other.fObject, nullptr)) {}
    template <class U> VRefPtr(const VRefPtr<U>& other) : VRefPtr(other.Get()) {}
    ~VRefPtr() { if (fObject) fObject->Release(); }

    VRefPtr& operator=(const VRefPtr& other) { Set(other.fObject); return *this; }
    VRefPtr& operator=(VRefPtr&& other) noexcept
    {
        if (this != &other) {
            T* old = std::exchange(fObject, std::exchange(other.fObject, nullptr));
            if (old)
                old->Release();
        }
        return *this;
    }

    // Takes over a reference that the caller owns (no Retain).
    static VRefPtr Adopt(T* object) { VRefPtr p; p.fObject = object; return p; }

    void Set(T* object)
    {
        if (object)
            object->Retain();
        T* old = std::exchange(fObject, object);
        if (old)
            old->Release();
    }
    void Clear() { Set(nullptr); }
    // Gives up the reference to the caller.
    [[nodiscard]] T* Forget() { return std::exchange(fObject, nullptr); }

    T* Get() const { return fObject; }
    T* operator->() const { return fObject; }
    T& operator*() const { return *fObject; }
    explicit operator bool() const { return fObject != nullptr; }
    bool operator==(const VRefPtr& other) const = default;

private:
    T* fObject = nullptr;
};

} // namespace nuvo
