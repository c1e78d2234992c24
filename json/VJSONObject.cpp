#include "json/VJSONObject.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "json/IJSONObject.h"
#include "json/VJSONPropertyConstIterator.h"
#include "json/VJSONPropertyIterator.h"

namespace nuvo {

namespace {

// Below this count a linear search over the stored hashes beats any table.
constexpr size_t kIndexThreshold = 8;

} // namespace

VJSONObject::VJSONObject() = default;

VJSONObject::~VJSONObject() = default;

int64_t VJSONObject::_Find(const VString& name, uint32_t hash) const
{
    if (fIndex.empty()) {
        for (size_t i = 0; i < fProperties.size(); ++i) {
            const Property& property = fProperties[i];
            if (property.fHash == hash && property.fName.EqualToStringRaw(name))
                return int64_t(i);
        }
        return -1;
    }
    const size_t mask = fIndex.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        uint32_t entry = fIndex[slot];
        if (entry == 0)
            return -1;
        const Property& property = fProperties[entry - 1];
        if (property.fHash == hash && property.fName.EqualToStringRaw(name))
            return int64_t(entry - 1);
    }
}

void VJSONObject::_IndexInsert(uint32_t hash, uint32_t position)
{
    const size_t mask = fIndex.size() - 1;
    size_t slot = hash & mask;
    while (fIndex[slot] != 0)
        slot = (slot + 1) & mask;
    fIndex[slot] = position + 1;
}

void VJSONObject::_RebuildIndex()
{
    fIndex.clear();
    if (fProperties.size() <= kIndexThreshold)
        return;
    size_t capacity = 16;
    while (capacity < fProperties.size() * 2)
        capacity *= 2;
    fIndex.assign(capacity, 0);
    for (size_t i = 0; i < fProperties.size(); ++i)
        _IndexInsert(fProperties[i].fHash, uint32_t(i));
}

VJSONValue VJSONObject::GetProperty(const VString& name, void* languageContext) const
{
    VJSONValue result;
    if (fHook && fHook->GetProperty(name, languageContext, result))
        return result;
    if (const VJSONValue* own = GetPropertyRef(name))
        result = *own;
    return result;
}

const VJSONValue* VJSONObject::GetPropertyRef(const VString& name) const
{
    int64_t position = _Find(name, name.GetHashValue());
    return position < 0 ? nullptr : &fProperties[size_t(position)].fValue;
}

bool VJSONObject::SetProperty(const VString& name, const VJSONValue& value, void*)
{
    return SetProperty(VString(name), VJSONValue(value));
}

bool VJSONObject::SetProperty(VString&& name, VJSONValue&& value)
{
    uint32_t hash = name.GetHashValue();
    int64_t position = _Find(name, hash);
    if (position >= 0) {
        fProperties[size_t(position)].fValue = std::move(value);
        return true;
    }
    try {
        fProperties.push_back(Property{std::move(name), hash, std::move(value)});
        if (fIndex.empty()) {
            if (fProperties.size() > kIndexThreshold)
                _RebuildIndex();
        } else if (fProperties.size() * 2 > fIndex.size()) {
            _RebuildIndex();
        } else {
            _IndexInsert(hash, uint32_t(fProperties.size() - 1));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void VJSONObject::RemoveProperty(const VString& name)
{
    int64_t position = _Find(name, name.GetHashValue());
    if (position < 0)
        return;
    // Erasing shifts the later properties, which is exactly the ordinal decrement.
    fProperties.erase(fProperties.begin() + position);
    if (!fIndex.empty())
        _RebuildIndex();
}

bool VJSONObject::Reserve(size_t count)
{
    try {
        fProperties.reserve(count);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool VJSONObject::HasOwnProperty(const VString& name) const
{
    return GetPropertyRef(name) != nullptr;
}

int64_t VJSONObject::GetOrdinal(const VString& name) const
{
    return _Find(name, name.GetHashValue());
}

void VJSONObject::Clear()
{
    // Moved out first: releasing a value may run destructors that look at this object.
    Properties old;
    old.swap(fProperties);
    fIndex.clear();
}

VJSONValue VJSONObject::GetPropertyWithPath(const VString& path) const
{
    std::vector<VString> names;
    path.GetSubStrings(u'.', names, true);
    VJSONValue current(const_cast<VJSONObject*>(this));
    for (const VString& name : names) {
        if (!current.IsObject())
            return VJSONValue::sUndefined;
        current = current.GetObject()->GetProperty(name);
    }
    return current;
}

bool VJSONObject::SetPropertyWithPath(const VString& path, const VJSONValue& value)
{
    std::vector<VString> names;
    path.GetSubStrings(u'.', names, true);
    if (names.empty())
        return false;
    VJSONObject* current = this;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        const VJSONValue* step = current->GetPropertyRef(names[i]);
        if (step == nullptr) {
            VJSONValue created(JSON_object);
            if (!current->SetProperty(names[i], created))
                return false;
            current = created.GetObject();
        } else if (step->IsObject()) {
            current = step->GetObject();
        } else {
            return false;
        }
    }
    return current->SetProperty(names.back(), value);
}

void VJSONObject::DebugDump(VString& out) const
{
    VJSONValue(const_cast<VJSONObject*>(this)).DebugDump(out);
}

VJSONPropertyConstIterator::VJSONPropertyConstIterator(const VJSONObject* object)
    : fObject(RetainRefCountable(object))
{
}

VJSONPropertyConstIterator::~VJSONPropertyConstIterator()
{
    if (fObject)
        fObject->Release();
}

VJSONPropertyIterator::VJSONPropertyIterator(VJSONObject* object) : fObject(RetainRefCountable(object))
{
}

VJSONPropertyIterator::~VJSONPropertyIterator()
{
    if (fObject)
        fObject->Release();
}

} // namespace nuvo
