#include "json/VJSONWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/files/IFile.h"
#include "kernel/text/RealText.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

constexpr size_t kTruncationLength = 512;
constexpr double kExactLimit = 9007199254740991.0;   // 2^53 - 1

void AppendASCII(const char* text, std::u16string& out)
{
    while (*text)
        out.push_back(UniChar(uint8_t(*text++)));
}

void AppendNumber(double value, std::u16string& out)
{
    char digits[40];
    char* end = digits;
    if (value >= -kExactLimit && value <= kExactLimit && value == std::trunc(value)) {
        end = std::to_chars(digits, digits + sizeof(digits), int64_t(value)).ptr;
    } else if (std::isfinite(value)) {
        // The "%.14G" form without snprintf's locale: to_chars follows printf's rules.
        end = std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::general, 14).ptr;
        for (char* c = digits; c != end; ++c) {
            if (*c == 'e')
                *c = 'E';
        }
    } else {
        out.append(u"null");
        return;
    }
    const size_t at = out.size();
    out.resize(at + size_t(end - digits));
    std::copy(digits, end, out.begin() + ptrdiff_t(at));
}

// Days since 1970-01-01 to a proleptic Gregorian date.
void CivilFromDays(int64_t days, int& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

VError Throw(VError code)
{
    _ThrowError(code);
    return code;
}

} // namespace

VJSONWriter::VJSONWriter(unsigned int options) : VJSONWriter(nullptr, options)
{
}

VJSONWriter::VJSONWriter(void* languageContext, unsigned int options)
    : fLanguageContext(languageContext), fOptions(options), fIndentUnit(u"\t")
{
    if (fOptions & kJSONWriteIndented)
        fLineBreak = VString(u"\n");
}

void VJSONWriter::IncrementLevel()
{
    ++fLevel;
    if (fOptions & kJSONWriteIndented)
        fLineBreak.AppendString(fIndentUnit);
}

void VJSONWriter::DecrementLevel()
{
    if (fLevel > 0)
        --fLevel;
    if (fOptions & kJSONWriteIndented)
        fLineBreak.Truncate(fLevel + 1);
}

void VJSONWriter::InsertIndentString(VString& text) const
{
    text.Insert(fLineBreak, 1);
}

void VJSONWriter::AppendIndentString(VString& text) const
{
    text.AppendString(fLineBreak);
}

VError VJSONWriter::StringifyValue(const VJSONValue& value, VString& out)
{
    std::u16string text;
    VError error = _Value(value, text);
    out.FromUniString(text.data(), int32_t(text.size()));
    return error;
}

VError VJSONWriter::StringifyObject(const VJSONObject* object, VString& out)
{
    std::u16string text;
    VError error = _Object(object, text);
    out.FromUniString(text.data(), int32_t(text.size()));
    return error;
}

VError VJSONWriter::StringifyArray(const VJSONArray* array, VString& out)
{
    std::u16string text;
    VError error = _Array(array, text);
    out.FromUniString(text.data(), int32_t(text.size()));
    return error;
}

VError VJSONWriter::_Value(const VJSONValue& value, std::u16string& out)
{
    switch (value.GetType()) {
    case JSON_false: out.append(u"false"); return VE_OK;
    case JSON_true: out.append(u"true"); return VE_OK;
    case JSON_number: AppendNumber(value.GetNumber(), out); return VE_OK;
    case JSON_string: {
        const VString* text = value.GetStringRef();
        if (!(fOptions & kJSONWriteNotEscaped) && int64_t(text->GetLength()) * 6 + 4 > 0x7FFFFFFF)
            return Throw(VE_STRING_ALLOC_FAILED);
        AppendJSONEscapedText(text->GetCPointer(), text->GetLength(), fOptions, out);
        return VE_OK;
    }
    case JSON_object: return _Object(value.GetObject(), out);
    case JSON_array: return _Array(value.GetArray(), out);
    case JSON_date: _AppendDate(value.GetPackedDate(), out); return VE_OK;
    default: out.append(u"null"); return VE_OK;
    }
}

void VJSONWriter::_AppendString(const VString& text, std::u16string& out) const
{
    AppendJSONEscapedText(text.GetCPointer(), text.GetLength(), fOptions, out);
}

void VJSONWriter::_AppendDate(uint32_t packed, std::u16string& out) const
{
    int year = int(packed >> 16), month = int((packed >> 8) & 0xFF), day = int(packed & 0xFF);
    int hour = 0;
    if ((fOptions & kJSONWriteLocalDates) && packed != 0) {
        // Local midnight of that day, written as the UTC instant it is.
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_isdst = -1;
        std::time_t instant = std::mktime(&local);
        if (instant != std::time_t(-1)) {
            int64_t seconds = int64_t(instant);
            int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
            CivilFromDays(days, year, month, day);
            hour = int((seconds - days * 86400) / 3600);
        }
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:00:00.000Z", year, month, day, hour);
    if (fOptions & kJSONWriteQuoted)
        out.push_back(u'"');
    AppendASCII(text, out);
    if (fOptions & kJSONWriteQuoted)
        out.push_back(u'"');
}

// After a member or element: true when the container is cut after it.
bool VJSONWriter::_Truncate(size_t memberLength)
{
    if (!(fOptions & kJSONWriteTruncate))
        return false;
    if (fRunningLength > kTruncationLength)
        return true;
    fRunningLength += memberLength;
    return false;
}

void VJSONWriter::_Close(UniChar closing, bool cut, std::u16string& out)
{
    if (fOptions & kJSONWriteIndented)
        out.append(fLineBreak.GetCPointer(), size_t(fLineBreak.GetLength()));
    if (!cut) {
        out.push_back(closing);
    } else if (!fEllipsisDone) {
        out.append(u"...");
        fEllipsisDone = true;
    }
}

VError VJSONWriter::_Object(const VJSONObject* object, std::u16string& out)
{
    if (object == nullptr) {
        out.append(u"undefined");
        return VE_OK;
    }
    for (const void* open : fStack) {
        if (open == object) {
            if (fOptions & kJSONWriteCircularAsText) {
                out.append(u"\"[circular]\"");
                return VE_OK;
            }
            return Throw(VE_JSON_CYCLE);
        }
    }
    if ((fOptions & kJSONWriteObjectsOnce) && !fWritten.insert(object).second)
        return Throw(VE_JSON_ALREADY_STRINGIFIED);
    if (fStack.size() >= size_t(kJSONMaxDepth))
        return _ThrowTooDeep();
    if (IJSONObject* hook = object->GetImplementation()) {
        if (fOptions & kJSONWriteOnlyGeneric)
            return Throw(VE_JSON_NOT_GENERIC);
        if (!hook->IsStringifiable()) {
            if (fOptions & kJSONWriteRefuseUnstringifiable)
                return Throw(VE_JSON_CANNOT_STRINGIFY);
        } else {
            VString text;
            VError error = VE_OK;
            if (hook->Stringify(text, fOptions, error)) {
                out.append(text.GetCPointer(), size_t(text.GetLength()));
                return error;
            }
        }
    }
    if (object->IsEmpty()) {
        out.append(u"{}");
        return VE_OK;
    }
    fStack.push_back(object);
    IncrementLevel();
    const bool indented = (fOptions & kJSONWriteIndented) != 0;
    out.push_back(u'{');
    VError error = VE_OK;
    bool cut = false;
    bool first = true;
    for (const VJSONObject::Property& property : object->GetProperties()) {
        if (!first)
            out.push_back(u',');
        first = false;
        if (indented)
            out.append(fLineBreak.GetCPointer(), size_t(fLineBreak.GetLength()));
        const size_t memberStart = out.size();
        _AppendString(property.fName, out);
        out.push_back(u':');
        if (indented)
            out.push_back(u' ');
        if ((error = _Value(property.fValue, out)) != VE_OK)
            break;
        if ((cut = _Truncate(out.size() - memberStart)))
            break;
    }
    DecrementLevel();
    fStack.pop_back();
    if (error == VE_OK)
        _Close(u'}', cut, out);
    return error;
}

VError VJSONWriter::_Array(const VJSONArray* array, std::u16string& out)
{
    if (array == nullptr) {
        out.append(u"undefined");
        return VE_OK;
    }
    for (const void* open : fStack) {
        if (open == array)
            return Throw(VE_JSON_CYCLE);
    }
    if (array->IsEmpty()) {
        out.append(u"[]");
        return VE_OK;
    }
    if (fStack.size() >= size_t(kJSONMaxDepth))
        return _ThrowTooDeep();
    fStack.push_back(array);
    IncrementLevel();
    const bool indented = (fOptions & kJSONWriteIndented) != 0;
    out.push_back(u'[');
    VError error = VE_OK;
    bool cut = false;
    bool first = true;
    for (const VJSONValue& element : array->GetValues()) {
        if (!first)
            out.push_back(u',');
        first = false;
        if (indented)
            out.append(fLineBreak.GetCPointer(), size_t(fLineBreak.GetLength()));
        const size_t elementStart = out.size();
        if ((error = _Value(element, out)) != VE_OK)
            break;
        if ((cut = _Truncate(out.size() - elementStart)))
            break;
    }
    DecrementLevel();
    fStack.pop_back();
    if (error == VE_OK)
        _Close(u']', cut, out);
    return error;
}

VError VJSONWriter::_ThrowTooDeep()
{
    VErrorBase* error = new VErrorBase(VE_JSON_TOO_DEEP);
    error->GetBag()->SetLong(StPackedDictionaryKey("limit"), kJSONMaxDepth);
    _PushRetainedError(error);
    return VE_JSON_TOO_DEEP;
}

VError VJSONWriter::StringifyValueToFile(IFile* file, const VJSONValue& value, unsigned int options)
{
    if (file == nullptr)
        return VE_OK;
    VString text;
    VJSONWriter writer(options);
    (void)writer.StringifyValue(value, text);
    return file->SetContentAsString(text, CharSet::UTF8, eCRM_NONE, false);
}

} // namespace nuvo
