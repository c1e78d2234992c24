#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "json/VJSONValue.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"
#include "kernel/text/VString.h"

namespace nuvo {

class IFile;
class VJSONObject;
class VJSONArray;

// Writing options (bits).
inline constexpr unsigned int kJSONWriteQuoted = 0x1;
inline constexpr unsigned int kJSONWriteIndented = 0x8;
inline constexpr unsigned int kJSONWriteNotEscaped = 0x10;
inline constexpr unsigned int kJSONWriteLocalDates = 0x80;
inline constexpr unsigned int kJSONWriteRefuseUnstringifiable = 0x100;
inline constexpr unsigned int kJSONWriteEscapeAmpersandQuote = 0x400;
inline constexpr unsigned int kJSONWriteRetryWithGraph = 0x800;
inline constexpr unsigned int kJSONWriteCircularAsText = 0x2000;
inline constexpr unsigned int kJSONWriteTruncate = 0x4000;
inline constexpr unsigned int kJSONWriteOnlyGeneric = 0x8000;
inline constexpr unsigned int kJSONWriteObjectsOnce = 0x10000;

// Writes VJSONValues as text, compact or indented with tabs. Errors ('nuvo' 107, 555, 900, 911,
// 914, 916) are pushed on the calling task's error context; the first one stops the container
// and the output keeps what was built.
//
// One writer serves one output: its stack of open containers, its set of written objects and
// its truncation mark persist across calls. Not thread-safe.
class VJSONWriter : public VObject {
public:
    explicit VJSONWriter(unsigned int options = 0);
    VJSONWriter(void* languageContext, unsigned int options);

    VError StringifyValue(const VJSONValue& value, VString& out);
    VError StringifyObject(const VJSONObject* object, VString& out);
    VError StringifyArray(const VJSONArray* array, VString& out);

    void IncrementLevel();
    void DecrementLevel();
    // Puts the current line break in front of text, or after it.
    void InsertIndentString(VString& text) const;
    void AppendIndentString(VString& text) const;

    // Writes value's text as UTF-8 without a byte-order mark, even when writing reported an
    // error; returns the file's error. A null file writes nothing and returns 0.
    static VError StringifyValueToFile(IFile* file, const VJSONValue& value, unsigned int options);

private:
    // Appending forms: the public ones clear out and call these.
    VError _Value(const VJSONValue& value, std::u16string& out);
    VError _Object(const VJSONObject* object, std::u16string& out);
    VError _Array(const VJSONArray* array, std::u16string& out);
    void _AppendString(const VString& text, std::u16string& out) const;
    void _AppendDate(uint32_t packed, std::u16string& out) const;
    bool _Truncate(size_t memberLength);
    void _Close(UniChar closing, bool cut, std::u16string& out);
    VError _ThrowTooDeep();

    void* fLanguageContext = nullptr;
    unsigned int fOptions;
    int32_t fLevel = 0;
    VString fIndentUnit;
    VString fLineBreak;
    std::vector<const void*> fStack;
    std::unordered_set<const void*> fWritten;
    size_t fRunningLength = 0;
    bool fEllipsisDone = false;
};

} // namespace nuvo
