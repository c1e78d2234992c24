#pragma once

#include <cstddef>

#include "kernel/values/ValueKind.h"

namespace nuvo {

class VValueSingle;

// Makes value objects from their kind tag and measures serialised values without making an
// object, for containers that keep values in their pointer form (the value bag). The built-in
// kinds are known from the start; later kinds (the time values) call Register during start-up,
// before any other thread uses a bag. Lookups are then thread-safe.
class VValueFactory {
public:
    using Creator = VValueSingle* (*)();
    // Size in bytes of the pointer form stored at data.
    using StoredSpace = size_t (*)(const void* data);

    // A new empty value of kind (the caller deletes it); null for an unknown kind.
    [[nodiscard]] static VValueSingle* Create(ValueKind kind);
    // Size of the pointer form of a kind stored at data; 0 for an unknown kind.
    static size_t GetStoredSpace(ValueKind kind, const void* data);
    static bool IsKnown(ValueKind kind);

    // fixedSpace > 0 declares a fixed-size form, and storedSpace may then be null.
    static void Register(ValueKind kind, Creator creator, size_t fixedSpace, StoredSpace storedSpace);
};

} // namespace nuvo
