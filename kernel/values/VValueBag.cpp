#include "kernel/values/VValueBag.h"

#include <algorithm>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VBoolean.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VReal.h"

namespace nuvo {

namespace {

// Attributes that other layers keep in a bag for their own bookkeeping; never part of the XML.
constexpr StPackedDictionaryKey kObjectUniqueKey{"____objectunic"};
constexpr StPackedDictionaryKey kPropertyNameInArrayKey{"____property_name_in_jsarray"};

constexpr int32_t kMaxIndentation = 100;

void AppendTabs(VString& out, int32_t depth)
{
    static constexpr UniChar kTabs[] = u"\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    constexpr int32_t kChunk = int32_t(sizeof kTabs / sizeof kTabs[0]) - 1;
    for (int32_t left = std::min(depth, kMaxIndentation); left > 0; left -= kChunk)
        out.AppendUniChars(kTabs, std::min(left, kChunk));
}

// The five XML entities; every other unit, control characters included, is copied as it is.
void AppendEscaped(VString& out, const VString& text)
{
    const UniChar* units = text.GetCPointer();
    int32_t length = text.GetLength();
    int32_t runStart = 0;
    for (int32_t i = 0; i < length; ++i) {
        const char* entity;
        switch (units[i]) {
        case u'&': entity = "&amp;"; break;
        case u'<': entity = "&lt;"; break;
        case u'>': entity = "&gt;"; break;
        case u'"': entity = "&quot;"; break;
        case u'\'': entity = "&apos;"; break;
        default: continue;
        }
        if (i > runStart)
            out.AppendUniChars(units + runStart, i - runStart);
        out.AppendCString(entity);
        runStart = i + 1;
    }
    if (length > runStart)
        out.AppendUniChars(units + runStart, length - runStart);
}

// One CDATA section, except that each "]]>" is split across two sections.
void AppendCData(VString& out, const VString& text)
{
    out.AppendCString("<![CDATA[");
    const UniChar* units = text.GetCPointer();
    int32_t length = text.GetLength();
    int32_t runStart = 0;
    for (int32_t i = 0; i + 2 < length; ++i) {
        if (units[i] == u']' && units[i + 1] == u']' && units[i + 2] == u'>') {
            out.AppendUniChars(units + runStart, i + 2 - runStart);
            out.AppendCString("]]><![CDATA[");
            runStart = i + 2;
        }
    }
    if (length > runStart)
        out.AppendUniChars(units + runStart, length - runStart);
    out.AppendCString("]]>");
}

// Reads the attribute through a value of class VALUE; out is left alone when it is absent.
template <class VALUE, class NATIVE>
bool GetAs(const VPackedVValueDictionary& attributes, const StPackedDictionaryKey& key, NATIVE& out)
{
    VALUE value;
    if (!attributes.GetValue(key, value))
        return false;
    out = value.Get();
    return true;
}

} // namespace

VValueBag::VValueBag(const VValueBag& other) : VValue(other), IRefCountable(other), fAttributes(other.fAttributes)
{
    if (!other.fElements)
        return;
    size_t count = other.fElements->GetCount();
    for (size_t n = 0; n < count; ++n) {
        VPackedValue_VBagArray::Slot slot;
        slot.fArray = other.fElements->GetNthSlot(n).fArray->Clone();
        _Elements().AppendSlot(other.fElements->GetNthKey(n), slot);
    }
}

VValueBag& VValueBag::operator=(const VValueBag& other)
{
    if (this != &other) {
        VValueBag copy(other);
        fFlags = copy.fFlags;
        fAttributes = copy.fAttributes;
        std::swap(fElements, copy.fElements);
    }
    return *this;
}

VValueBag::~VValueBag()
{
    delete fElements;
}

bool VValueBag::IsEmpty() const
{
    return fAttributes.IsEmpty() && (!fElements || fElements->IsEmpty());
}

void VValueBag::Destroy()
{
    fAttributes.RemoveAll();
    delete fElements;
    fElements = nullptr;
}

const VValueSingle* VValueBag::GetNthAttribute(int32_t pos, VString* outName) const
{
    if (pos < 1 || pos > GetAttributesCount())
        return nullptr;
    if (outName)
        fAttributes.GetNthKeyString(size_t(pos - 1), *outName);
    return fAttributes.GetNthValue(size_t(pos - 1));
}

void VValueBag::SetString(const StPackedDictionaryKey& key, const VString& value)
{
    fAttributes.SetValue(key, value);
}

void VValueBag::SetBool(const StPackedDictionaryKey& key, bool value)
{
    fAttributes.SetValue(key, VBoolean(value));
}

void VValueBag::SetLong(const StPackedDictionaryKey& key, int32_t value)
{
    fAttributes.SetValue(key, VLong(value));
}

void VValueBag::SetLong8(const StPackedDictionaryKey& key, int64_t value)
{
    fAttributes.SetValue(key, VLong8(value));
}

void VValueBag::SetReal(const StPackedDictionaryKey& key, double value)
{
    fAttributes.SetValue(key, VReal(value));
}

bool VValueBag::GetString(const StPackedDictionaryKey& key, VString& out) const
{
    return fAttributes.GetValue(key, out);
}

bool VValueBag::GetBool(const StPackedDictionaryKey& key, bool& out) const
{
    return GetAs<VBoolean>(fAttributes, key, out);
}

bool VValueBag::GetLong(const StPackedDictionaryKey& key, int32_t& out) const
{
    return GetAs<VLong>(fAttributes, key, out);
}

bool VValueBag::GetLong8(const StPackedDictionaryKey& key, int64_t& out) const
{
    return GetAs<VLong8>(fAttributes, key, out);
}

bool VValueBag::GetReal(const StPackedDictionaryKey& key, double& out) const
{
    return GetAs<VReal>(fAttributes, key, out);
}

void VValueBag::AppendToCData(const VString& text)
{
    VString content;
    if (GetString(CDataAttributeName, content)) {
        content.AppendString(text);
        SetString(CDataAttributeName, content);
    } else {
        SetString(CDataAttributeName, text);
    }
}

VPackedBagArrayDictionary& VValueBag::_Elements()
{
    if (!fElements)
        fElements = new VPackedBagArrayDictionary;
    return *fElements;
}

VBagArray* VValueBag::GetNthElementName(int32_t pos, VString* outName) const
{
    if (pos < 1 || pos > GetElementNamesCount())
        return nullptr;
    if (outName)
        fElements->GetNthKeyString(size_t(pos - 1), *outName);
    return fElements->GetNthSlot(size_t(pos - 1)).fArray;
}

VBagArray* VValueBag::GetElements(const StPackedDictionaryKey& key) const
{
    if (!fElements)
        return nullptr;
    size_t n = fElements->Find(key);
    return n == VPackedBagArrayDictionary::kNotFound ? nullptr : fElements->GetNthSlot(n).fArray;
}

VValueBag* VValueBag::GetUniqueElement(const StPackedDictionaryKey& key) const
{
    VBagArray* array = GetElements(key);
    return array ? array->GetNth(1) : nullptr;
}

void VValueBag::SetElements(const StPackedDictionaryKey& key, VBagArray* array)
{
    if (!array) {
        RemoveElements(key);
        return;
    }
    VPackedBagArrayDictionary& elements = _Elements();
    size_t n = elements.Find(key);
    array->Retain();
    if (n == VPackedBagArrayDictionary::kNotFound) {
        VPackedValue_VBagArray::Slot slot;
        slot.fArray = array;
        elements.AppendSlot(key, slot);
    } else {
        VBagArray*& slotArray = elements.GetNthSlot(n).fArray;
        VBagArray* old = slotArray;
        slotArray = array;
        old->Release();
    }
}

void VValueBag::AddElement(const StPackedDictionaryKey& key, VValueBag* bag)
{
    if (!bag)
        return;
    VPackedBagArrayDictionary& elements = _Elements();
    size_t n = elements.Find(key);
    if (n == VPackedBagArrayDictionary::kNotFound) {
        VPackedValue_VBagArray::Slot slot;
        slot.fArray = new VBagArray;  // the slot takes the creator's reference
        n = elements.AppendSlot(key, slot);
    }
    elements.GetNthSlot(n).fArray->AddTail(bag);
}

void VValueBag::ReplaceElement(const StPackedDictionaryKey& key, VValueBag* bag)
{
    if (!bag) {
        RemoveElements(key);
        return;
    }
    VBagArray* array = new VBagArray;
    array->AddTail(bag);
    SetElements(key, array);
    array->Release();
}

void VValueBag::RemoveElements(const StPackedDictionaryKey& key)
{
    if (!fElements)
        return;
    size_t n = fElements->Find(key);
    if (n != VPackedBagArrayDictionary::kNotFound)
        fElements->RemoveNth(n);
}

bool VValueBag::UnionClone(const VValueBag* other)
{
    if (!other)
        return true;
    if (other == this) {
        VValueBag copy(*other);
        return UnionClone(&copy);
    }
    int32_t count = other->GetAttributesCount();
    for (int32_t n = 0; n < count; ++n)
        SetAttribute(other->fAttributes.GetNthKey(size_t(n)), *other->fAttributes.GetNthValue(size_t(n)));
    int32_t names = other->GetElementNamesCount();
    for (int32_t n = 0; n < names; ++n) {
        StPackedDictionaryKey name = other->fElements->GetNthKey(size_t(n));
        const VBagArray* array = other->fElements->GetNthSlot(size_t(n)).fArray;
        // The count is taken once: both bags may hold the same array, which then grows here.
        int32_t bags = array->GetCount();
        for (int32_t pos = 1; pos <= bags; ++pos) {
            VValueBag* clone = array->GetNth(pos)->Clone();
            AddElement(name, clone);
            clone->Release();
        }
    }
    return true;
}

void VValueBag::Override(const VValueBag* other)
{
    if (!other || other == this)
        return;
    // other may live only through one of the element lists replaced below.
    VRefPtr<const VValueBag> keepAlive(other);
    int32_t count = other->GetAttributesCount();
    for (int32_t n = 0; n < count; ++n)
        SetAttribute(other->fAttributes.GetNthKey(size_t(n)), *other->fAttributes.GetNthValue(size_t(n)));
    int32_t names = other->GetElementNamesCount();
    for (int32_t n = 0; n < names; ++n) {
        VBagArray* clone = other->fElements->GetNthSlot(size_t(n)).fArray->Clone();
        SetElements(other->fElements->GetNthKey(size_t(n)), clone);
        clone->Release();
    }
}

bool VValueBag::_HasElementBags() const
{
    if (!fElements)
        return false;
    for (size_t n = 0; n < fElements->GetCount(); ++n) {
        if (!fElements->GetNthSlot(n).fArray->IsEmpty())
            return true;
    }
    return false;
}

void VValueBag::DumpXML(VString& out, const VString& elementName, bool indented) const
{
    _DumpXML(out, elementName, indented ? 0 : -1);
}

void VValueBag::_DumpXML(VString& out, const VString& elementName, int32_t depth) const
{
    if (depth > 0)
        AppendTabs(out, depth);
    out.AppendUniChar(u'<');
    out.AppendString(elementName);

    VString text;
    size_t count = fAttributes.GetCount();
    for (size_t n = 0; n < count; ++n) {
        StPackedDictionaryKey key = fAttributes.GetNthKey(n);
        if (key == CDataAttributeName || key == kObjectUniqueKey || key == kPropertyNameInArrayKey)
            continue;
        out.AppendUniChar(u' ');
        key.GetString(text);
        out.AppendString(text);
        out.AppendCString("=\"");
        fAttributes.GetNthValue(n)->GetXMLString(text);
        AppendEscaped(out, text);
        out.AppendUniChar(u'"');
    }

    const VValueSingle* cdata = fAttributes.GetValuePtr(CDataAttributeName);
    bool hasElements = _HasElementBags();
    if (!hasElements && !cdata) {
        out.AppendCString("/>");
        return;
    }
    out.AppendUniChar(u'>');

    if (hasElements) {
        VString childName;
        int32_t childDepth = depth < 0 ? -1 : depth + 1;
        for (size_t n = 0; n < fElements->GetCount(); ++n) {
            fElements->GetNthKeyString(n, childName);
            const VBagArray* array = fElements->GetNthSlot(n).fArray;
            for (int32_t pos = 1; pos <= array->GetCount(); ++pos) {
                out.AppendUniChar(u'\n');
                array->GetNth(pos)->_DumpXML(out, childName, childDepth);
            }
        }
    }

    // No line break after text content: it would become part of the text when read back.
    if (cdata) {
        cdata->GetString(text);
        AppendCData(out, text);
    } else if (depth >= 0) {
        out.AppendUniChar(u'\n');
        AppendTabs(out, depth);
    }
    out.AppendCString("</");
    out.AppendString(elementName);
    out.AppendUniChar(u'>');
}

void VValueBag::DebugDump(VString& out) const
{
    out.AppendPrintf("VValueBag(%d attributes, %d element names)", GetAttributesCount(), GetElementNamesCount());
}

} // namespace nuvo
