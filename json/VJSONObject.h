#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "json/VJSONValue.h"
#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"

namespace nuvo {

class IJSONObject;

// A JSON object: named properties in insertion order. Names compare by exact UTF-16 code units.
// A property's ordinal is its place in insertion order (0 to count - 1; a removal moves the
// later ones up). Replacing a property keeps its place.
//
// Reference counted (1 at construction). One task at a time; only the count is thread-safe.
class VJSONObject : public VObject, public IRefCountable {
public:
    struct Property {
        VString fName;
        uint32_t fHash;
        VJSONValue fValue;
    };
    using Properties = std::vector<Property>;

    VJSONObject();
    VJSONObject(const VJSONObject&) = delete;
    VJSONObject& operator=(const VJSONObject&) = delete;

    // The own property, else undefined. The context is passed through to the hook.
    VJSONValue GetProperty(const VString& name, void* languageContext = nullptr) const;
    // The own property without a copy, null when missing.
    const VJSONValue* GetPropertyRef(const VString& name) const;
    // Creates or replaces. Returns false only when memory runs out.
    bool SetProperty(const VString& name, const VJSONValue& value, void* languageContext = nullptr);
    bool SetProperty(VString&& name, VJSONValue&& value);
    void RemoveProperty(const VString& name);
    bool HasOwnProperty(const VString& name) const;
    // The place of name in insertion order, -1 when missing.
    int64_t GetOrdinal(const VString& name) const;
    bool IsEmpty() const { return fProperties.empty(); }
    size_t GetCount() const { return fProperties.size(); }
    // Room for count properties in all; false only when memory runs out.
    bool Reserve(size_t count);
    void Clear();

    // Dotted paths of names ("a.b.c"); a missing step reads undefined. Setting creates the
    // missing intermediate objects; it fails (false) when a step holds something else.
    VJSONValue GetPropertyWithPath(const VString& path) const;
    bool SetPropertyWithPath(const VString& path, const VJSONValue& value);

    // Insertion order.
    const Properties& GetProperties() const { return fProperties; }

    // Native code may serve the object through a hook; not owned, the caller keeps it alive.
    void SetImplementation(IJSONObject* hook) { fHook = hook; }
    IJSONObject* GetImplementation() const { return fHook; }

    void DebugDump(VString& out) const override;

protected:
    ~VJSONObject() override;

private:
    friend class VJSONPropertyIterator;
    int64_t _Find(const VString& name, uint32_t hash) const;
    void _RebuildIndex();
    void _IndexInsert(uint32_t hash, uint32_t position);

    Properties fProperties;
    // Open-addressing table of positions + 1 (0 = free), built once the object grows past a
    // few properties; small objects are searched linearly.
    std::vector<uint32_t> fIndex;
    IJSONObject* fHook = nullptr;
};

} // namespace nuvo
