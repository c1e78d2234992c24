#include "kernel/text/VTextConverters.h"

#include <cstring>

#include "kernel/text/BuiltinConverters.h"
#include "kernel/text/CharSetNameTable.h"
#include "kernel/text/ICUConverters.h"
#include "kernel/text/VString.h"

namespace nuvo {

using namespace Private;

namespace {

template <class T> T* Retained(T* converter)
{
    converter->Retain();
    return converter;
}

const CharSetNameRow* FindRowBySet(CharSet set)
{
    for (const CharSetNameRow& row : GetCharSetNameTable())
        if (row.charSet == set)
            return &row;
    return nullptr;
}

const CharSetNameRow* FindRowByMIB(int32_t mibEnum)
{
    for (const CharSetNameRow& row : GetCharSetNameTable())
        if (row.mibEnum == mibEnum)
            return &row;
    return nullptr;
}

// Printable ASCII letters compare equal ignoring case and diacritics exactly when they are
// equal ignoring ASCII case, and every name of the table is printable ASCII: such names skip
// the collator.
bool IsPrintableASCII(const VString& text)
{
    const UniChar* p = text.GetCPointer();
    for (int32_t i = 0; i < text.GetLength(); ++i)
        if (p[i] < 0x20 || p[i] > 0x7E)
            return false;
    return true;
}

bool EqualIgnoringASCIICase(const VString& text, const char* name)
{
    const UniChar* p = text.GetCPointer();
    const int32_t length = text.GetLength();
    for (int32_t i = 0; i < length; ++i) {
        UniChar a = p[i];
        char b = name[i];
        if (b == 0)
            return false;
        if (a >= 'A' && a <= 'Z')
            a = UniChar(a + ('a' - 'A'));
        if (b >= 'A' && b <= 'Z')
            b = char(b + ('a' - 'A'));
        if (a != UniChar(b))
            return false;
    }
    return name[length] == 0;
}

const CharSetNameRow* FindRowByName(const VString& name)
{
    if (name.IsEmpty())
        return nullptr;
    const bool ascii = IsPrintableASCII(name);
    for (const CharSetNameRow& row : GetCharSetNameTable()) {
        if (ascii ? EqualIgnoringASCIICase(name, row.name) : name.EqualToString(VString(row.name), false))
            return &row;
    }
    return nullptr;
}

void SetName(const CharSetNameRow* row, VString& outName)
{
    if (row != nullptr)
        outName.FromCString(row->name);
    else
        outName.Clear();
}

} // namespace

VTextConverters* VTextConverters::Get()
{
    // Never destroyed: converters stay usable while other objects are torn down at exit.
    static VTextConverters* const sInstance = new VTextConverters;
    return sInstance;
}

VTextConverters::VTextConverters()
    : fUTF16ToUnicode(new VToUnicodeConverter_UTF16(false))
    , fUTF16SwappedToUnicode(new VToUnicodeConverter_UTF16(true))
    , fUTF32ToUnicode(new VToUnicodeConverter_UTF32(false))
    , fRaw32ToUnicode(new VToUnicodeConverter_Raw32(false))
    , fUTF8ToUnicode(new VToUnicodeConverter_UTF8)
    , fUTF16FromUnicode(new VFromUnicodeConverter_UTF16(false))
    , fUTF16SwappedFromUnicode(new VFromUnicodeConverter_UTF16(true))
    , fUTF32FromUnicode(new VFromUnicodeConverter_UTF32(false))
    , fRaw32FromUnicode(new VFromUnicodeConverter_Raw32(false))
    , fUTF8FromUnicode(new VFromUnicodeConverter_UTF8)
{
}

VToUnicodeConverter* VTextConverters::RetainToUnicodeConverter(CharSet set)
{
    switch (set) {
    case CharSet::UTF16:
        return Retained(fUTF16ToUnicode);
    case CharSet::UTF16_BigEndian:
        return Retained(fUTF16SwappedToUnicode);
    case CharSet::UTF32:
        return Retained(fUTF32ToUnicode);
    case CharSet::UTF32_BigEndian:
        return new VToUnicodeConverter_UTF32(true);
    case CharSet::UTF32_Raw:
        return Retained(fRaw32ToUnicode);
    case CharSet::UTF32_Raw_Swapped:
        return new VToUnicodeConverter_Raw32(true);
    case CharSet::UTF8:
    case CharSet::StdLib:
        return Retained(fUTF8ToUnicode);
    case CharSet::Unknown:
        return new VToUnicodeConverter_Void;
    default:
        break;
    }
    const CharSetNameRow* row = FindRowBySet(set);
    VToUnicodeConverter* converter = row != nullptr ? VToUnicodeConverter_ICU::Create(row->name) : nullptr;
    return converter != nullptr ? converter : new VToUnicodeConverter_Void;
}

VFromUnicodeConverter* VTextConverters::RetainFromUnicodeConverter(CharSet set)
{
    switch (set) {
    case CharSet::UTF16:
        return Retained(fUTF16FromUnicode);
    case CharSet::UTF16_BigEndian:
        return Retained(fUTF16SwappedFromUnicode);
    case CharSet::UTF32:
        return Retained(fUTF32FromUnicode);
    case CharSet::UTF32_BigEndian:
        return new VFromUnicodeConverter_UTF32(true);
    case CharSet::UTF32_Raw:
        return Retained(fRaw32FromUnicode);
    case CharSet::UTF32_Raw_Swapped:
        return new VFromUnicodeConverter_Raw32(true);
    case CharSet::UTF8:
    case CharSet::StdLib:
        return Retained(fUTF8FromUnicode);
    case CharSet::Unknown:
        return new VFromUnicodeConverter_Void;
    default:
        break;
    }
    const CharSetNameRow* row = FindRowBySet(set);
    VFromUnicodeConverter* converter = row != nullptr ? VFromUnicodeConverter_ICU::Create(row->name) : nullptr;
    return converter != nullptr ? converter : new VFromUnicodeConverter_Void;
}

bool VTextConverters::ConvertToVString(const void* source, size_t sourceBytes, CharSet set, VString& out)
{
    out.Truncate(0);
    if (set == CharSet::UTF16) {
        const size_t units = sourceBytes / 2;
        if (units > size_t(INT32_MAX - 8))
            return false;
        if (units > 0) {
            UniChar* p = out.GetCPointerForWrite(int32_t(units));
            if (p == nullptr)
                return false;
            std::memcpy(p, source, units * 2);
        }
        out.Validate(int32_t(units));
        return sourceBytes % 2 == 0;
    }
    VToUnicodeConverter* converter = RetainToUnicodeConverter(set);
    size_t consumed = 0;
    bool ok = converter->ConvertString(source, sourceBytes, &consumed, out);
    converter->Release();
    return ok;
}

bool VTextConverters::ConvertFromVString(const VString& text, int32_t* outUnitsConsumed, void* buffer,
                                         size_t bufferBytes, size_t* outBytesProduced, CharSet set)
{
    VFromUnicodeConverter* converter = RetainFromUnicodeConverter(set);
    bool ok = converter->Convert(text.GetCPointer(), text.GetLength(), outUnitsConsumed, buffer, bufferBytes,
                                 outBytesProduced);
    converter->Release();
    return ok;
}

bool VTextConverters::ParseBOM(const void* bytes, size_t size, size_t* outBOMSize, CharSet* outCharSet)
{
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    size_t bomSize = 0;
    CharSet set = CharSet::Unknown;
    if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        bomSize = 3;
        set = CharSet::UTF8;
    } else if (size >= 4 && b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF) {
        bomSize = 4;
        set = CharSet::UTF32_BigEndian;
    } else if (size >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0x00 && b[3] == 0x00) {
        bomSize = 4;
        set = CharSet::UTF32;
    } else if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        bomSize = 2;
        set = CharSet::UTF16_BigEndian;
    } else if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        bomSize = 2;
        set = CharSet::UTF16;
    }
    if (outBOMSize)
        *outBOMSize = bomSize;
    if (outCharSet)
        *outCharSet = set;
    return bomSize != 0;
}

const void* VTextConverters::GetBOMForCharSet(CharSet set, size_t* outSize)
{
    static const uint8_t kUTF16BE[] = {0xFE, 0xFF};
    static const uint8_t kUTF16[] = {0xFF, 0xFE};
    static const uint8_t kUTF32BE[] = {0x00, 0x00, 0xFE, 0xFF};
    static const uint8_t kUTF32[] = {0xFF, 0xFE, 0x00, 0x00};
    static const uint8_t kUTF8[] = {0xEF, 0xBB, 0xBF};
    const uint8_t* bom = nullptr;
    size_t size = 0;
    switch (set) {
    case CharSet::UTF16_BigEndian: bom = kUTF16BE; size = sizeof kUTF16BE; break;
    case CharSet::UTF16: bom = kUTF16; size = sizeof kUTF16; break;
    case CharSet::UTF32_BigEndian: bom = kUTF32BE; size = sizeof kUTF32BE; break;
    case CharSet::UTF32: bom = kUTF32; size = sizeof kUTF32; break;
    case CharSet::UTF8: bom = kUTF8; size = sizeof kUTF8; break;
    default: break;
    }
    if (outSize)
        *outSize = size;
    return bom;
}

CharSet VTextConverters::GetCharSetFromName(const VString& name)
{
    const CharSetNameRow* row = FindRowByName(name);
    return row != nullptr ? row->charSet : CharSet::Unknown;
}

int32_t VTextConverters::GetMIBEnumFromName(const VString& name)
{
    const CharSetNameRow* row = FindRowByName(name);
    return row != nullptr ? row->mibEnum : 0;
}

bool VTextConverters::GetNameFromCharSet(CharSet set, VString& outName)
{
    const CharSetNameRow* row = FindRowBySet(set);
    SetName(row, outName);
    return row != nullptr;
}

int32_t VTextConverters::GetMIBEnumFromCharSet(CharSet set)
{
    const CharSetNameRow* row = FindRowBySet(set);
    return row != nullptr ? row->mibEnum : 0;
}

CharSet VTextConverters::GetCharSetFromMIBEnum(int32_t mibEnum)
{
    const CharSetNameRow* row = FindRowByMIB(mibEnum);
    return row != nullptr ? row->charSet : CharSet::Unknown;
}

bool VTextConverters::GetNameFromMIBEnum(int32_t mibEnum, VString& outName)
{
    const CharSetNameRow* row = FindRowByMIB(mibEnum);
    SetName(row, outName);
    return row != nullptr;
}

void VTextConverters::EnumCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets)
{
    outNames.clear();
    outCharSets.clear();
    for (const CharSetNameRow& row : GetCharSetNameTable()) {
        outNames.emplace_back(row.name);
        outCharSets.push_back(row.charSet);
    }
}

void VTextConverters::EnumWebCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets)
{
    outNames.clear();
    outCharSets.clear();
    for (const CharSetNameRow& row : GetCharSetNameTable()) {
        if (row.web) {
            outNames.emplace_back(row.name);
            outCharSets.push_back(row.charSet);
        }
    }
}

} // namespace nuvo
