#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "json/VJSONValue.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/base/VTypes.h"
#include "kernel/text/VString.h"

namespace nuvo {

class IFile;
class VJSONObject;

// Parsing options (bits).
inline constexpr unsigned int kJSONOptionUndefinedOnError = 1;
inline constexpr unsigned int kJSONOptionStrict = 2;
inline constexpr unsigned int kJSONOptionNoErrorRecord = 4;
inline constexpr unsigned int kJSONOptionRecordLines = 8;
inline constexpr unsigned int kJSONOptionWithDates = 64;
inline constexpr unsigned int kJSONOptionDatesCompanion = 128;
inline constexpr unsigned int kJSONOptionSharedLocker = 256;
inline constexpr unsigned int kJSONOptionNonAmbiguousDates = 512;
inline constexpr unsigned int kJSONOptionISODates = 0x80000000u;

// Containers nested deeper than this fail with 'nuvo' 555 (then 550) instead of exhausting the
// stack of the parsing task, which may be a small secondary-thread stack.
inline constexpr int32_t kJSONMaxDepth = 1000;

// The tokenizer's result.
enum class JsonToken : int {
    End = 0,
    ObjectStart = 1,
    ObjectEnd = 2,
    ArrayStart = 3,
    ArrayEnd = 4,
    Comma = 5,
    Colon = 6,
    Value = 7,
};

// Turns JSON text into a VJSONValue by recursive descent. Lenient by default (bare words are
// strings, keys need no quotes, an unterminated string is accepted); strict with option 2.
// Failures push 551/552/553/554 (or 555) and then 550 with "source", "line" and "position" on
// the calling task's error context and return 550.
//
// One text, parsed once, by one task.
class VJSONImporter : public VObject {
public:
    VJSONImporter(const VString& text, unsigned int options = 0);
    ~VJSONImporter() override;
    VJSONImporter(const VJSONImporter&) = delete;
    VJSONImporter& operator=(const VJSONImporter&) = delete;

    // Parses one value into out (text after it is not examined); 0 or the error code.
    VError Parse(VJSONValue& out);
    static VError ParseString(const VString& text, VJSONValue& out, unsigned int options = 0);
    // A null file gives undefined and 0. The content is read as UTF-8 unless a byte-order mark
    // names another set; a read failure returns the file's error and leaves out unchanged.
    static VError ParseFile(IFile* file, VJSONValue& out, unsigned int options = 0);

    // Names the input in error records (ParseFile sets the file's path).
    void SetSource(const VString& source) { fSource = source; }

    // Reads one token; text receives a value token's characters, quoted tells whether it was
    // a quoted string. outError receives 550 when the text ended inside a string in strict mode.
    JsonToken GetNextJSONToken(VString& text, bool* quoted, VError* outError);
    JsonToken GetNextJSONToken(VError* outError);

    // The side object of option 8 (line and offset of every member path); null otherwise.
    VJSONObject* GetPathsLines() const { return fPathsLines.Get(); }

private:
    JsonToken _NextToken(bool* quoted, VError* outError);
    void _SkipBlanks();
    VError _ParseValue(VJSONValue& out, int32_t depth);
    VError _ParseValueFromToken(JsonToken token, bool quoted, VJSONValue& out, int32_t depth, const char* expected);
    VError _ParseObject(VJSONValue& out, int32_t depth);
    VError _ParseArray(VJSONValue& out, int32_t depth);
    VError _StringToValue(bool quoted, VJSONValue& out, const char* expected);
    bool _ReadDate(VJSONValue& out) const;
    VError _ThrowInvalidToken(const VString& found, const char* expected);
    VError _ThrowToken(VError code, const char* token);
    VError _ThrowTooDeep();
    VError _ThrowErrorMalformed();
    void _RecordLine(const VString& path);
    VString _FirstCharAtLastToken() const;
    VString _TokenString();

    VString fText;
    unsigned int fOptions;
    const UniChar* fStart;
    int32_t fLength;
    int32_t fPos = 0;
    int32_t fLastTokenStart = 0;
    VString fSource;
    VString fPath;
    VRefPtr<VJSONObject> fPathsLines;
    int32_t fLine = 1;
    int32_t fLineStart = 0;
    // Where the last token's first character is, and its line (for option 8).
    int32_t fTokenStart = 0;
    int32_t fTokenLine = 1;
    int32_t fTokenLineStart = 0;
    // The characters of the last value token; reused so that tokens cost no allocation.
    std::vector<UniChar> fToken;
    // Recent short keys and strings by hash: a repeated one shares the earlier one's buffer
    // instead of allocating its own.
    std::vector<VString> fRecentStrings;
    // Members and elements of the containers being parsed, moved into their container (sized
    // once) when it ends, complete or not.
    std::vector<std::pair<VString, VJSONValue>> fMemberStack;
    std::vector<VJSONValue> fElementStack;
};

} // namespace nuvo
