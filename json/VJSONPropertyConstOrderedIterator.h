#pragma once

#include <cstddef>

#include "json/VJSONObject.h"

namespace nuvo {

// Walks an object's own properties in insertion order, read-only. Flag 2 leaves out class
// getters (objects here have none, so every flag value lists the same names). Retains the
// object; the object must not change while iterating.
class VJSONPropertyConstOrderedIterator {
public:
    explicit VJSONPropertyConstOrderedIterator(const VJSONObject* object, unsigned int flags = 0);
    ~VJSONPropertyConstOrderedIterator();
    VJSONPropertyConstOrderedIterator(const VJSONPropertyConstOrderedIterator&) = delete;
    VJSONPropertyConstOrderedIterator& operator=(const VJSONPropertyConstOrderedIterator&) = delete;

    bool IsValid() const { return fObject && fPosition < fObject->GetCount(); }
    VJSONPropertyConstOrderedIterator& operator++() { ++fPosition; return *this; }
    const VString& GetName() const { return fObject->GetProperties()[fPosition].fName; }
    const VJSONValue& GetValue() const { return fObject->GetProperties()[fPosition].fValue; }

private:
    const VJSONObject* fObject;
    size_t fPosition = 0;
};

} // namespace nuvo
