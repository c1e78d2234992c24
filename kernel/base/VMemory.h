#pragma once
// The toolkit allocator: one place through which tagged raw allocations go, so that failures
// are handled in one way and allocation statistics can be kept per tag later.

#include <cstddef>

#include "kernel/base/VTypes.h"

namespace nuvo::VMemory {

// Returns nullptr on failure (never throws). tag names the user for statistics ("str ", 'memb').
[[nodiscard]] void* NewPtr(size_t size, OsType tag) noexcept;
// Resizes a block from NewPtr; nullptr on failure, the old block then stays valid.
[[nodiscard]] void* SetPtrSize(void* block, size_t size, OsType tag) noexcept;
void DisposePtr(void* block) noexcept;

} // namespace nuvo::VMemory
