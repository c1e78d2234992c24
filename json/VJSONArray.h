#pragma once

#include <cstddef>
#include <vector>

#include "json/VJSONValue.h"
#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"

namespace nuvo {

// A JSON array: values in index order, counted from 0.
//
// Reference counted (1 at construction). One task at a time; only the count is thread-safe.
class VJSONArray : public VObject, public IRefCountable {
public:
    VJSONArray() = default;
    VJSONArray(const VJSONArray&) = delete;
    VJSONArray& operator=(const VJSONArray&) = delete;

    size_t GetCount() const { return fValues.size(); }
    bool IsEmpty() const { return fValues.empty(); }
    // Room for count elements in all; false only when memory runs out.
    bool Reserve(size_t count);
    // A copy of the element; undefined beyond the end.
    VJSONValue GetAt(size_t index) const;
    // Stores the element and returns true, or stores undefined and returns false.
    bool GetAt(size_t index, VJSONValue& out) const;
    // Replaces an existing element; an index at or past the end changes nothing.
    void SetAt(size_t index, const VJSONValue& value);
    // False only when memory runs out.
    bool Push(const VJSONValue& value);
    bool Push(VJSONValue&& value);
    // Removes up to count elements from index on.
    void RemoveAt(size_t index, size_t count = 1);
    // New elements take the kind (null by default).
    bool Resize(size_t count, JSONType kind = JSON_null);
    void Clear() { fValues.clear(); }
    // Appends other's elements (the containers among them are shared).
    bool Concatenate(const VJSONArray& other);
    // The elements' GetString forms joined by separator; 'nuvo' 900 on a cycle.
    VError JoinAsString(const VString& separator, VString& out) const;
    const std::vector<VJSONValue>& GetValues() const { return fValues; }

    void DebugDump(VString& out) const override;

protected:
    ~VJSONArray() override = default;

private:
    std::vector<VJSONValue> fValues;
};

} // namespace nuvo
