#pragma once

#include <cstddef>

#include "json/VJSONObject.h"

namespace nuvo {

// Walks an object's own properties and may replace the current value (names and order stay).
// Retains the object; properties must not be added or removed while iterating.
class VJSONPropertyIterator {
public:
    explicit VJSONPropertyIterator(VJSONObject* object);
    ~VJSONPropertyIterator();
    VJSONPropertyIterator(const VJSONPropertyIterator&) = delete;
    VJSONPropertyIterator& operator=(const VJSONPropertyIterator&) = delete;

    bool IsValid() const { return fObject && fPosition < fObject->GetCount(); }
    VJSONPropertyIterator& operator++() { ++fPosition; return *this; }
    const VString& GetName() const { return fObject->fProperties[fPosition].fName; }
    const VJSONValue& GetValue() const { return fObject->fProperties[fPosition].fValue; }
    void SetValue(const VJSONValue& value) { fObject->fProperties[fPosition].fValue = value; }

private:
    VJSONObject* fObject;
    size_t fPosition = 0;
};

} // namespace nuvo
