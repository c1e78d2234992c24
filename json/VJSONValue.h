#pragma once

#include <cstdint>
#include <new>

#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"
#include "kernel/text/VString.h"

namespace nuvo {

class IFile;
class VTime;
class VJSONObject;
class VJSONArray;

// The kinds of a JSON value. The numbers are stored and tested by callers: never renumber.
enum JSONType : uint32_t {
    JSON_null = 0,
    JSON_false = 1,
    JSON_true = 2,
    JSON_string = 3,
    JSON_number = 4,
    JSON_object = 5,
    JSON_array = 6,
    JSON_undefined = 7,
    JSON_date = 8,
};

// One JSON value: a kind and its payload. Objects and arrays are shared by reference (a copy
// retains the container, it never duplicates it); strings share their VString buffer. Every
// construction or copy takes a new stamp from a process-wide counter.
//
// A value is not thread-safe; copies of one value may live on different tasks since the
// container and string counts are atomic. Cycles of containers are not collected: whoever
// builds one breaks it (the parser never builds one).
class VJSONValue : public VObject {
public:
    VJSONValue();                               // undefined
    explicit VJSONValue(JSONType type);         // object and array kinds create an empty container
    explicit VJSONValue(VJSONObject* object);   // retained; null gives null
    explicit VJSONValue(VJSONArray* array);     // retained; null gives null
    explicit VJSONValue(const VString& text);   // a null string gives null
    explicit VJSONValue(double number);
    explicit VJSONValue(const VTime& time);      // the UTC calendar date; a null time gives null
    VJSONValue(const VJSONValue& other);
    VJSONValue(VJSONValue&& other) noexcept;
    ~VJSONValue() override;
    VJSONValue& operator=(const VJSONValue& other);
    VJSONValue& operator=(VJSONValue&& other) noexcept;

    JSONType GetType() const { return fType; }
    uint32_t GetStamp() const { return fStamp; }
    bool IsUndefined() const { return fType == JSON_undefined; }
    bool IsNull() const { return fType == JSON_null; }
    bool IsBool() const { return fType == JSON_false || fType == JSON_true; }
    bool IsString() const { return fType == JSON_string; }
    bool IsNumber() const { return fType == JSON_number; }
    bool IsObject() const { return fType == JSON_object; }
    bool IsArray() const { return fType == JSON_array; }
    bool IsDate() const { return fType == JSON_date; }

    // Each releases the old payload first.
    void SetUndefined();
    void SetNull();
    void SetBool(bool value);                   // kind value + 1
    void SetNumber(double value);
    void SetString(const VString& text);        // a null string stores null
    void SetObject(VJSONObject* object);        // retained; null stores null
    void SetArray(VJSONArray* array);           // retained; null stores null
    void SetDate(int year, int month, int day);
    void SetPackedDate(uint32_t packed);        // year << 16 | month << 8 | day
    void SetTime(const VTime& time);            // as the VTime constructor

    // true -> false, string -> empty, number -> 0, container -> null, date -> 0.
    void Clear();

    // Borrowed container, null when the kind differs.
    VJSONObject* GetObject() const { return fType == JSON_object ? fPayload.fObject : nullptr; }
    VJSONArray* GetArray() const { return fType == JSON_array ? fPayload.fArray : nullptr; }
    // One more reference for the caller, null when the kind differs.
    [[nodiscard]] VJSONObject* RetainObject() const;
    [[nodiscard]] VJSONArray* RetainArray() const;
    // The string payload without a copy; null when the kind is not string.
    const VString* GetStringRef() const { return fType == JSON_string ? _Str() : nullptr; }

    // Conversions by fixed rules (every kind converts). GetString returns 0, or 'nuvo' 900
    // when an array contains itself.
    VError GetString(VString& out) const;
    double GetNumber() const;
    bool GetBool() const;
    // False (and zeros) unless the kind is date.
    bool GetDate(int* outYear, int* outMonth, int* outDay) const;
    uint32_t GetPackedDate() const { return fType == JSON_date ? fPayload.fDate : 0; }
    // UTC midnight of the date; false (and a null time) unless the kind is date.
    bool GetTime(VTime& out) const;

    // Object properties; any other kind reads undefined and ignores writes.
    VJSONValue GetProperty(const VString& name) const;
    void SetProperty(const VString& name, const VJSONValue& value) const;

    // Parses text (options 0, 192 with dates, 576 with unambiguous dates); returns the parse
    // error, 0 on success. The value receives what was built, even after a failure.
    VError ParseFromString(const VString& text, bool withDates = false, bool withNonAmbiguousDates = false);
    // Parses a whole file (options 0, or 192 with dates). Failures are on the error context.
    void LoadFromFile(IFile* file, bool withDates = false);
    // Writes the value as text (VJSONWriter options); returns the error code.
    VError SaveToFile(IFile* file, unsigned int options) const;
    VError Stringify(VString& out, unsigned int options) const;

    void DebugDump(VString& out) const override;

    static const VJSONValue sUndefined;
    static const VJSONValue sNull;
    static const VJSONValue sTrue;
    static const VJSONValue sFalse;
    static constexpr uint32_t sLastType = 9;
    static const VString sUndefinedString;
    static const VString sNullString;
    static const VString sTrueString;
    static const VString sFalseString;
    static const VString sObjectString;

private:
    VString* _Str() { return std::launder(reinterpret_cast<VString*>(fPayload.fString)); }
    const VString* _Str() const { return std::launder(reinterpret_cast<const VString*>(fPayload.fString)); }
    void _ReleasePayload();
    void _CopyPayload(const VJSONValue& other);
    void _MovePayload(VJSONValue& other) noexcept;
    static uint32_t _NextStamp();

    JSONType fType = JSON_undefined;
    uint32_t fStamp = 0;
    union Payload {
        double fNumber;
        VJSONObject* fObject;
        VJSONArray* fArray;
        uint32_t fDate;
        alignas(VString) unsigned char fString[sizeof(VString)];
    } fPayload;
};

} // namespace nuvo
