#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "kernel/base/VMemory.h"

namespace nuvo {

// A growable block of bytes from the toolkit allocator (tag 'memb'), owned by the object and
// freed with it. Movable, not copyable; not thread-safe. Growing can fail: the functions that
// grow return false and leave the content as it was.
class VMemoryBuffer {
public:
    static constexpr OsType kTag = MakeOsType("memb");

    VMemoryBuffer() = default;
    ~VMemoryBuffer() { Clear(); }
    VMemoryBuffer(const VMemoryBuffer&) = delete;
    VMemoryBuffer& operator=(const VMemoryBuffer&) = delete;
    VMemoryBuffer(VMemoryBuffer&& other) noexcept
        : fData(std::exchange(other.fData, nullptr)), fSize(std::exchange(other.fSize, 0))
    {
    }
    VMemoryBuffer& operator=(VMemoryBuffer&& other) noexcept
    {
        if (this != &other) {
            Clear();
            fData = std::exchange(other.fData, nullptr);
            fSize = std::exchange(other.fSize, 0);
        }
        return *this;
    }

    void* GetDataPtr() const { return fData; }
    size_t GetDataSize() const { return fSize; }
    bool IsEmpty() const { return fSize == 0; }

    // New bytes are not initialised; the existing ones are kept up to the new size.
    [[nodiscard]] bool SetSize(size_t size)
    {
        if (size == fSize)
            return true;
        if (size == 0) {
            Clear();
            return true;
        }
        void* block = fData ? VMemory::SetPtrSize(fData, size, kTag) : VMemory::NewPtr(size, kTag);
        if (!block)
            return false;
        fData = block;
        fSize = size;
        return true;
    }

    // Writes bytes at offset, growing the buffer when they end past it.
    [[nodiscard]] bool PutData(size_t offset, const void* bytes, size_t size)
    {
        if (size > SIZE_MAX - offset)
            return false;
        if (offset + size > fSize && !SetSize(offset + size))
            return false;
        if (size > 0)
            std::memcpy(static_cast<char*>(fData) + offset, bytes, size);
        return true;
    }

    void Clear()
    {
        if (fData)
            VMemory::DisposePtr(fData);
        fData = nullptr;
        fSize = 0;
    }

private:
    void* fData = nullptr;
    size_t fSize = 0;
};

} // namespace nuvo
