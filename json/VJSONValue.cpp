#include "json/VJSONValue.h"

#include <atomic>
#include <cstdio>
#include <utility>
#include <vector>

#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONWriter.h"
#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/IFile.h"
#include "kernel/text/RealText.h"
#include "kernel/time/VTime.h"
#include "kernel/text/HexDigit.h"

namespace nuvo {

namespace {

// A plain read-modify-write: stamps only order creations on one task, so a lost increment
// between tasks does no harm; relaxed atomics keep that from being a data race.
std::atomic<uint32_t> sStamp{0};

VError AppendArrayText(const VJSONArray& array, std::vector<const VJSONArray*>& open, VString& out);

VError AppendValueText(const VJSONValue& value, std::vector<const VJSONArray*>& open, VString& out)
{
    if (value.IsArray())
        return AppendArrayText(*value.GetArray(), open, out);
    VString text;
    VError error = value.GetString(text);
    out.AppendString(text);
    return error;
}

VError AppendArrayText(const VJSONArray& array, std::vector<const VJSONArray*>& open, VString& out)
{
    for (const VJSONArray* seen : open) {
        if (seen == &array) {
            _ThrowError(VE_JSON_CYCLE);
            return VE_JSON_CYCLE;
        }
    }
    open.push_back(&array);
    VError error = VE_OK;
    bool first = true;
    for (const VJSONValue& element : array.GetValues()) {
        if (!first)
            out.AppendUniChar(u',');
        first = false;
        error = AppendValueText(element, open, out);
        if (error)
            break;
    }
    open.pop_back();
    return error;
}

} // namespace

const VJSONValue VJSONValue::sUndefined(JSON_undefined);
const VJSONValue VJSONValue::sNull(JSON_null);
const VJSONValue VJSONValue::sTrue(JSON_true);
const VJSONValue VJSONValue::sFalse(JSON_false);
const VString VJSONValue::sUndefinedString("undefined");
const VString VJSONValue::sNullString("null");
const VString VJSONValue::sTrueString("true");
const VString VJSONValue::sFalseString("false");
const VString VJSONValue::sObjectString("[object Object]");

uint32_t VJSONValue::_NextStamp()
{
    uint32_t stamp = sStamp.load(std::memory_order_relaxed) + 1;
    sStamp.store(stamp, std::memory_order_relaxed);
    return stamp;
}

VJSONValue::VJSONValue() : fStamp(_NextStamp())
{
}

VJSONValue::VJSONValue(JSONType type) : fType(type), fStamp(_NextStamp())
{
    switch (type) {
    case JSON_string: new (fPayload.fString) VString(); break;
    case JSON_number: fPayload.fNumber = 0; break;
    case JSON_object: fPayload.fObject = new VJSONObject(); break;
    case JSON_array: fPayload.fArray = new VJSONArray(); break;
    case JSON_date: fPayload.fDate = 0; break;
    case JSON_null:
    case JSON_false:
    case JSON_true:
    case JSON_undefined: break;
    default: fType = JSON_undefined; break;
    }
}

VJSONValue::VJSONValue(VJSONObject* object) : fStamp(_NextStamp())
{
    fType = JSON_null;
    SetObject(object);
}

VJSONValue::VJSONValue(VJSONArray* array) : fStamp(_NextStamp())
{
    fType = JSON_null;
    SetArray(array);
}

VJSONValue::VJSONValue(const VString& text) : fStamp(_NextStamp())
{
    fType = JSON_null;
    SetString(text);
}

VJSONValue::VJSONValue(double number) : fType(JSON_number), fStamp(_NextStamp())
{
    fPayload.fNumber = number;
}

VJSONValue::VJSONValue(const VTime& time) : fStamp(_NextStamp())
{
    fType = JSON_null;
    SetTime(time);
}

VJSONValue::VJSONValue(const VJSONValue& other) : VObject(other), fStamp(_NextStamp())
{
    _CopyPayload(other);
}

VJSONValue::VJSONValue(VJSONValue&& other) noexcept : VObject(other), fStamp(_NextStamp())
{
    _MovePayload(other);
}

VJSONValue::~VJSONValue()
{
    _ReleasePayload();
}

VJSONValue& VJSONValue::operator=(const VJSONValue& other)
{
    if (this != &other) {
        // Copy first: other may be held by the container this value is about to release.
        VJSONValue copy(other);
        _ReleasePayload();
        _MovePayload(copy);
        fStamp = _NextStamp();
    }
    return *this;
}

VJSONValue& VJSONValue::operator=(VJSONValue&& other) noexcept
{
    if (this != &other) {
        VJSONValue taken(std::move(other));
        _ReleasePayload();
        _MovePayload(taken);
        fStamp = _NextStamp();
    }
    return *this;
}

void VJSONValue::_ReleasePayload()
{
    switch (fType) {
    case JSON_string: _Str()->~VString(); break;
    case JSON_object: fPayload.fObject->Release(); break;
    case JSON_array: fPayload.fArray->Release(); break;
    default: break;
    }
    fType = JSON_undefined;
}

void VJSONValue::_CopyPayload(const VJSONValue& other)
{
    fType = other.fType;
    switch (fType) {
    case JSON_string: new (fPayload.fString) VString(*other._Str()); break;
    case JSON_object: fPayload.fObject = other.fPayload.fObject; fPayload.fObject->Retain(); break;
    case JSON_array: fPayload.fArray = other.fPayload.fArray; fPayload.fArray->Retain(); break;
    case JSON_number: fPayload.fNumber = other.fPayload.fNumber; break;
    case JSON_date: fPayload.fDate = other.fPayload.fDate; break;
    default: break;
    }
}

// Requires this value to hold no payload; leaves other undefined.
void VJSONValue::_MovePayload(VJSONValue& other) noexcept
{
    fType = other.fType;
    switch (fType) {
    case JSON_string:
        new (fPayload.fString) VString(std::move(*other._Str()));
        other._Str()->~VString();
        break;
    case JSON_object: fPayload.fObject = other.fPayload.fObject; break;
    case JSON_array: fPayload.fArray = other.fPayload.fArray; break;
    case JSON_number: fPayload.fNumber = other.fPayload.fNumber; break;
    case JSON_date: fPayload.fDate = other.fPayload.fDate; break;
    default: break;
    }
    other.fType = JSON_undefined;
}

void VJSONValue::SetUndefined()
{
    _ReleasePayload();
}

void VJSONValue::SetNull()
{
    _ReleasePayload();
    fType = JSON_null;
}

void VJSONValue::SetBool(bool value)
{
    _ReleasePayload();
    fType = value ? JSON_true : JSON_false;
}

void VJSONValue::SetNumber(double value)
{
    _ReleasePayload();
    fType = JSON_number;
    fPayload.fNumber = value;
}

void VJSONValue::SetString(const VString& text)
{
    if (text.IsNull()) {
        SetNull();
        return;
    }
    VString copy(text);   // text may be this value's own payload
    _ReleasePayload();
    new (fPayload.fString) VString(std::move(copy));
    fType = JSON_string;
}

void VJSONValue::SetObject(VJSONObject* object)
{
    RetainRefCountable(object);
    _ReleasePayload();
    if (object) {
        fType = JSON_object;
        fPayload.fObject = object;
    } else {
        fType = JSON_null;
    }
}

void VJSONValue::SetArray(VJSONArray* array)
{
    RetainRefCountable(array);
    _ReleasePayload();
    if (array) {
        fType = JSON_array;
        fPayload.fArray = array;
    } else {
        fType = JSON_null;
    }
}

void VJSONValue::SetDate(int year, int month, int day)
{
    SetPackedDate((uint32_t(year) << 16) | (uint32_t(month & 0xFF) << 8) | uint32_t(day & 0xFF));
}

void VJSONValue::SetPackedDate(uint32_t packed)
{
    _ReleasePayload();
    fType = JSON_date;
    fPayload.fDate = packed;
}

void VJSONValue::SetTime(const VTime& time)
{
    if (time.IsNull()) {
        SetNull();
        return;
    }
    int16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    time.GetUTCTime(year, month, day, hour, minute, second, millisecond);
    SetDate(year, month, day);
}

bool VJSONValue::GetTime(VTime& out) const
{
    if (fType != JSON_date) {
        out.SetNull();
        return false;
    }
    int year = 0, month = 0, day = 0;
    GetDate(&year, &month, &day);
    out.FromUTCTime(int16_t(year), int16_t(month), int16_t(day), 0, 0, 0, 0);
    return true;
}

void VJSONValue::Clear()
{
    switch (fType) {
    case JSON_true: fType = JSON_false; break;
    case JSON_string: _Str()->Clear(); break;
    case JSON_number: fPayload.fNumber = 0; break;
    case JSON_object:
    case JSON_array: SetNull(); break;
    case JSON_date: fPayload.fDate = 0; break;
    default: break;
    }
}

VJSONObject* VJSONValue::RetainObject() const
{
    return RetainRefCountable(GetObject());
}

VJSONArray* VJSONValue::RetainArray() const
{
    return RetainRefCountable(GetArray());
}

VError VJSONValue::GetString(VString& out) const
{
    switch (fType) {
    case JSON_false: out = sFalseString; return VE_OK;
    case JSON_true: out = sTrueString; return VE_OK;
    case JSON_string: out = *_Str(); return VE_OK;
    case JSON_number: RealToJSONString(fPayload.fNumber, out); return VE_OK;
    case JSON_object: out = sObjectString; return VE_OK;
    case JSON_array: {
        std::vector<const VJSONArray*> open;
        VString text;
        VError error = AppendArrayText(*fPayload.fArray, open, text);
        out = text;
        return error;
    }
    case JSON_date: {
        int year = 0, month = 0, day = 0;
        GetDate(&year, &month, &day);
        out.Clear();
        out.AppendPrintf("%04d-%02d-%02dT00:00:00.000Z", year, month, day);
        return VE_OK;
    }
    default: out.Clear(); return VE_OK;
    }
}

double VJSONValue::GetNumber() const
{
    switch (fType) {
    case JSON_true: return 1;
    case JSON_number: return fPayload.fNumber;
    case JSON_string: {
        const VString& text = *_Str();
        const UniChar* p = text.GetCPointer();
        int32_t length = text.GetLength();
        if (length >= 2 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
            uint64_t value = 0;
            for (int32_t i = 2; i < length; ++i) {
                int digit = HexDigitValue(p[i]);
                if (digit >= 0)
                    value = value * 16 + uint64_t(digit);
            }
            return double(value);
        }
        return text.GetReal();
    }
    default: return 0;
    }
}

bool VJSONValue::GetBool() const
{
    switch (fType) {
    case JSON_true:
    case JSON_object:
    case JSON_array: return true;
    case JSON_string: return !_Str()->IsEmpty();
    case JSON_number: return fPayload.fNumber != 0;
    case JSON_date: return fPayload.fDate != 0;
    default: return false;
    }
}

bool VJSONValue::GetDate(int* outYear, int* outMonth, int* outDay) const
{
    uint32_t packed = GetPackedDate();
    if (outYear)
        *outYear = int(packed >> 16);
    if (outMonth)
        *outMonth = int((packed >> 8) & 0xFF);
    if (outDay)
        *outDay = int(packed & 0xFF);
    return fType == JSON_date;
}

VJSONValue VJSONValue::GetProperty(const VString& name) const
{
    if (fType == JSON_object)
        return fPayload.fObject->GetProperty(name);
    return sUndefined;
}

void VJSONValue::SetProperty(const VString& name, const VJSONValue& value) const
{
    if (fType == JSON_object)
        (void)fPayload.fObject->SetProperty(name, value);
}

VError VJSONValue::ParseFromString(const VString& text, bool withDates, bool withNonAmbiguousDates)
{
    unsigned int options = withDates ? (withNonAmbiguousDates ? 576u : 192u) : 0u;
    return VJSONImporter::ParseString(text, *this, options);
}

void VJSONValue::LoadFromFile(IFile* file, bool withDates)
{
    (void)VJSONImporter::ParseFile(file, *this, withDates ? 192u : 0u);
}

VError VJSONValue::SaveToFile(IFile* file, unsigned int options) const
{
    return VJSONWriter::StringifyValueToFile(file, *this, options);
}

VError VJSONValue::Stringify(VString& out, unsigned int options) const
{
    VJSONWriter writer(options);
    return writer.StringifyValue(*this, out);
}

void VJSONValue::DebugDump(VString& out) const
{
    VString text;
    (void)Stringify(text, kJSONWriteQuoted | kJSONWriteCircularAsText | kJSONWriteTruncate);
    out.AppendString(text);
}

} // namespace nuvo
