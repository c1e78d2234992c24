#pragma once

#include "json/VJSONPropertyConstIterator.h"

namespace nuvo {

// Walks an object's own properties in insertion order, read-only. Storage order is insertion
// order here, so this is the storage-order walk; flag 2 leaves out class getters (objects here
// have none, so every flag value lists the same names). Retains the object; the object must not
// change while iterating.
class VJSONPropertyConstOrderedIterator : public VJSONPropertyConstIterator {
public:
    explicit VJSONPropertyConstOrderedIterator(const VJSONObject* object, unsigned int /*flags*/ = 0)
        : VJSONPropertyConstIterator(object) {}
};

} // namespace nuvo
