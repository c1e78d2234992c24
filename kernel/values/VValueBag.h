#pragma once

#include <cstdint>

#include "kernel/base/IRefCountable.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VPackedDictionary.h"
#include "kernel/values/VPackedDictionary_with_backstore.h"
#include "kernel/values/VPackedValue_VBagArray.h"
#include "kernel/values/VValue.h"

namespace nuvo {

class VBagArray;
class VString;
class VValueSingle;

using VPackedBagArrayDictionary = VPackedDictionary<VPackedValue_VBagArray>;

// A record of named single values (attributes, in insertion order) and named lists of child
// bags (elements): the shape of an XML element. The bag owns its attribute values and retains
// its element arrays; copies are deep. Reference counted (count 1 for the creator), but may
// also live on the stack. Positions are 1-based. Not thread-safe apart from the count; even
// const reads fill caches.
class VValueBag : public VValue, public IRefCountable {
public:
    // The attribute holding the text content of the element the bag stands for.
    static constexpr StPackedDictionaryKey CDataAttributeName{"<>"};

    VValueBag() = default;
    VValueBag(const VValueBag& other);
    VValueBag& operator=(const VValueBag& other);
    ~VValueBag() override;

    [[nodiscard]] VValueBag* Clone() const { return new VValueBag(*this); }

    // No attribute and no element bag.
    bool IsEmpty() const;
    void Destroy();

    // Attributes.
    int32_t GetAttributesCount() const { return int32_t(fAttributes.GetCount()); }
    bool AttributeExists(const StPackedDictionaryKey& key) const { return fAttributes.Find(key) != fAttributes.kNotFound; }
    // Borrowed, valid until the attribute changes; null when absent.
    const VValueSingle* GetAttribute(const StPackedDictionaryKey& key) const { return fAttributes.GetValuePtr(key); }
    // out receives the value converted to its own kind; false (out unchanged) when absent.
    bool GetAttribute(const StPackedDictionaryKey& key, VValueSingle& out) const { return fAttributes.GetValue(key, out); }
    // Replaces the first attribute with key, else appends one.
    void SetAttribute(const StPackedDictionaryKey& key, const VValueSingle& value) { fAttributes.SetValue(key, value); }
    bool RemoveAttribute(const StPackedDictionaryKey& key) { return fAttributes.Clear(key); }
    // The value at pos (1..count) and its name; null outside.
    const VValueSingle* GetNthAttribute(int32_t pos, VString* outName) const;

    const VPackedVValueDictionary& GetAttributes() const { return fAttributes; }
    VPackedVValueDictionary& GetAttributes() { return fAttributes; }

    void SetString(const StPackedDictionaryKey& key, const VString& value);
    void SetBool(const StPackedDictionaryKey& key, bool value);
    void SetLong(const StPackedDictionaryKey& key, int32_t value);
    void SetLong8(const StPackedDictionaryKey& key, int64_t value);
    void SetReal(const StPackedDictionaryKey& key, double value);
    // Each returns false and leaves out unchanged when the attribute is absent.
    bool GetString(const StPackedDictionaryKey& key, VString& out) const;
    bool GetBool(const StPackedDictionaryKey& key, bool& out) const;
    bool GetLong(const StPackedDictionaryKey& key, int32_t& out) const;
    bool GetLong8(const StPackedDictionaryKey& key, int64_t& out) const;
    bool GetReal(const StPackedDictionaryKey& key, double& out) const;

    // Text content (the "<>" attribute).
    void AppendToCData(const VString& text);
    bool GetCData(VString& out) const { return GetString(CDataAttributeName, out); }
    void SetCData(const VString& text) { SetString(CDataAttributeName, text); }

    // Elements. The arrays returned are borrowed.
    int32_t GetElementNamesCount() const { return fElements ? int32_t(fElements->GetCount()) : 0; }
    VBagArray* GetNthElementName(int32_t pos, VString* outName) const;
    VBagArray* GetElements(const StPackedDictionaryKey& key) const;
    // The first bag of that name, or null.
    VValueBag* GetUniqueElement(const StPackedDictionaryKey& key) const;
    // Retains array (a null array removes the name) and releases the one it replaces.
    void SetElements(const StPackedDictionaryKey& key, VBagArray* array);
    // Appends bag (retained) to the array of that name, creating it.
    void AddElement(const StPackedDictionaryKey& key, VValueBag* bag);
    // The name then holds exactly that bag.
    void ReplaceElement(const StPackedDictionaryKey& key, VValueBag* bag);
    void RemoveElements(const StPackedDictionaryKey& key);

    // Sets every attribute of other on this bag (other's values win) and adds a copy of every
    // element bag of other. A null other is fine.
    bool UnionClone(const VValueBag* other);
    // Sets every attribute of other on this bag and replaces each of this bag's element lists
    // that other also has by copies of other's.
    void Override(const VValueBag* other);

    // Appends the bag's XML form: one element named elementName, attributes in order, child
    // elements after a line feed each, tab indentation when indented. Text content goes into a
    // CDATA section, directly followed by the closing tag.
    void DumpXML(VString& out, const VString& elementName, bool indented) const;

    void DebugDump(VString& out) const override;

private:
    void _DumpXML(VString& out, const VString& elementName, int32_t depth) const;
    bool _HasElementBags() const;
    VPackedBagArrayDictionary& _Elements();

    VPackedVValueDictionary fAttributes;
    VPackedBagArrayDictionary* fElements = nullptr;
};

} // namespace nuvo
