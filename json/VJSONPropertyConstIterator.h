#pragma once

#include <cstddef>

#include "json/VJSONObject.h"

namespace nuvo {

// Walks an object's own properties read-only in storage order (which is insertion order here).
// Retains the object; the object must not change while iterating.
class VJSONPropertyConstIterator {
public:
    explicit VJSONPropertyConstIterator(const VJSONObject* object);
    ~VJSONPropertyConstIterator();
    VJSONPropertyConstIterator(const VJSONPropertyConstIterator&) = delete;
    VJSONPropertyConstIterator& operator=(const VJSONPropertyConstIterator&) = delete;

    bool IsValid() const { return fObject && fPosition < fObject->GetCount(); }
    VJSONPropertyConstIterator& operator++() { ++fPosition; return *this; }
    const VString& GetName() const { return fObject->GetProperties()[fPosition].fName; }
    const VJSONValue& GetValue() const { return fObject->GetProperties()[fPosition].fValue; }

private:
    const VJSONObject* fObject;
    size_t fPosition = 0;
};

} // namespace nuvo
