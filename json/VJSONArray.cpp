#include "json/VJSONArray.h"

#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace nuvo {

VJSONValue VJSONArray::GetAt(size_t index) const
{
    return index < fValues.size() ? fValues[index] : VJSONValue::sUndefined;
}

bool VJSONArray::GetAt(size_t index, VJSONValue& out) const
{
    if (index < fValues.size()) {
        out = fValues[index];
        return true;
    }
    out.SetUndefined();
    return false;
}

void VJSONArray::SetAt(size_t index, const VJSONValue& value)
{
    if (index < fValues.size())
        fValues[index] = value;
}

bool VJSONArray::Reserve(size_t count)
{
    try {
        fValues.reserve(count);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool VJSONArray::Push(const VJSONValue& value)
{
    return Push(VJSONValue(value));
}

bool VJSONArray::Push(VJSONValue&& value)
{
    try {
        fValues.push_back(std::move(value));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void VJSONArray::RemoveAt(size_t index, size_t count)
{
    if (index >= fValues.size())
        return;
    size_t end = count > fValues.size() - index ? fValues.size() : index + count;
    fValues.erase(fValues.begin() + ptrdiff_t(index), fValues.begin() + ptrdiff_t(end));
}

bool VJSONArray::Resize(size_t count, JSONType kind)
{
    try {
        if (count <= fValues.size()) {
            fValues.resize(count);
        } else {
            fValues.reserve(count);
            while (fValues.size() < count)
                fValues.emplace_back(kind);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool VJSONArray::Concatenate(const VJSONArray& other)
{
    // Copied first: other may be this array.
    std::vector<VJSONValue> added(other.fValues);
    try {
        fValues.insert(fValues.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

VError VJSONArray::JoinAsString(const VString& separator, VString& out) const
{
    out.Clear();
    for (size_t i = 0; i < fValues.size(); ++i) {
        if (i > 0)
            out.AppendString(separator);
        VString text;
        if (VError error = fValues[i].GetString(text))
            return error;
        out.AppendString(text);
    }
    return VE_OK;
}

void VJSONArray::DebugDump(VString& out) const
{
    VJSONValue(const_cast<VJSONArray*>(this)).DebugDump(out);
}

} // namespace nuvo
