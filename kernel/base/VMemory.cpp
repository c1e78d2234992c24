#include "kernel/base/VMemory.h"

#include <cstdlib>

namespace nuvo::VMemory {

void* NewPtr(size_t size, OsType) noexcept
{
    return std::malloc(size == 0 ? 1 : size);
}

void* SetPtrSize(void* block, size_t size, OsType) noexcept
{
    return std::realloc(block, size == 0 ? 1 : size);
}

void DisposePtr(void* block) noexcept
{
    std::free(block);
}

} // namespace nuvo::VMemory
