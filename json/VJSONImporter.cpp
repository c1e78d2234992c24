#include "json/VJSONImporter.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/files/IFile.h"
#include "kernel/text/RealText.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "kernel/text/HexDigit.h"

namespace nuvo {

namespace {

constexpr StPackedDictionaryKey kKeySource("source");
constexpr StPackedDictionaryKey kKeyLine("line");
constexpr StPackedDictionaryKey kKeyPosition("position");
constexpr StPackedDictionaryKey kKeyFound("found");
constexpr StPackedDictionaryKey kKeyExpected("expected");
constexpr StPackedDictionaryKey kKeyToken("token");
constexpr StPackedDictionaryKey kKeyLimit("limit");

constexpr const char* kExpectedValue = "\" 0-9 null true false { [";
constexpr const char* kExpectedFirstElement = "\" 0-9 null true false { [ ]";
constexpr const char* kExpectedNumber = "+- 0-9 eE";

bool IsDigit(UniChar c) { return c >= u'0' && c <= u'9'; }

const char* TokenDisplay(JsonToken token)
{
    switch (token) {
    case JsonToken::ObjectStart: return "{";
    case JsonToken::ObjectEnd: return "}";
    case JsonToken::ArrayStart: return "[";
    case JsonToken::ArrayEnd: return "]";
    case JsonToken::Comma: return ",";
    case JsonToken::Colon: return ":";
    case JsonToken::Value: return "\"";
    default: return "";
    }
}

bool Equals(const std::vector<UniChar>& word, const char16_t* literal)
{
    size_t i = 0;
    for (; literal[i] != 0; ++i) {
        if (i >= word.size() || word[i] != literal[i])
            return false;
    }
    return i == word.size();
}

// The number grammar of bare words: -?(0|[1-9]?[0-9]*)(\.[0-9]+)?([eE][+-\x{2212}]?[0-9]+)?
bool MatchesNumber(const std::vector<UniChar>& w)
{
    size_t i = 0;
    const size_t n = w.size();
    if (i < n && w[i] == u'-')
        ++i;
    if (i < n && w[i] == u'0') {
        ++i;
    } else {
        while (i < n && IsDigit(w[i]))
            ++i;
    }
    if (i < n && w[i] == u'.') {
        size_t first = ++i;
        while (i < n && IsDigit(w[i]))
            ++i;
        if (i == first)
            return false;
    }
    if (i < n && (w[i] == u'e' || w[i] == u'E')) {
        ++i;
        if (i < n && (w[i] == u'+' || w[i] == u'-' || w[i] == 0x2212))
            ++i;
        size_t first = i;
        while (i < n && IsDigit(w[i]))
            ++i;
        if (i == first)
            return false;
    }
    return i == n;
}

double NumberValue(const std::vector<UniChar>& w)
{
    char buffer[128];
    std::string large;
    char* bytes = buffer;
    if (w.size() >= sizeof(buffer)) {
        large.resize(w.size() + 1);
        bytes = large.data();
    }
    for (size_t i = 0; i < w.size(); ++i)
        bytes[i] = w[i] == 0x2212 ? '-' : char(w[i]);
    bytes[w.size()] = 0;
    double value = 0;
    auto [end, ec] = std::from_chars(bytes, bytes + w.size(), value);
    if (ec == std::errc() && end == bytes + w.size())
        return value;
    // Out of range (strtod's infinities and zeros) and the digit-less words such as "-".
    return StrToRealC(bytes, nullptr);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// "YYYY-MM-DD", optionally followed by a time part starting with 'T' or a blank; only the
// calendar date is kept.
bool ReadCalendarDate(const UniChar* p, size_t n, int& year, int& month, int& day)
{
    if (n < 10 || p[4] != u'-' || p[7] != u'-')
        return false;
    auto number = [p](size_t from, size_t count, int& out) {
        out = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (!IsDigit(p[i]))
                return false;
            out = out * 10 + (p[i] - u'0');
        }
        return true;
    };
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day))
        return false;
    if (n > 10 && p[10] != u'T' && p[10] != u' ')
        return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1])
        return false;
    return !(month == 2 && day == 29 && !IsLeapYear(year));
}

} // namespace

VJSONImporter::VJSONImporter(const VString& text, unsigned int options)
    : fText(text), fOptions(options), fStart(fText.GetCPointer()), fLength(fText.GetLength())
{
}

VJSONImporter::~VJSONImporter() = default;

VString VJSONImporter::_TokenString()
{
    constexpr size_t kSlots = 1024;
    constexpr size_t kLongest = 32;
    const int32_t length = int32_t(fToken.size());
    if (fToken.size() > kLongest)
        return VString(fToken.data(), length);
    if (fRecentStrings.empty())
        fRecentStrings.resize(kSlots);
    uint32_t hash = uint32_t(length);
    for (UniChar c : fToken)
        hash = hash * 31 + c;
    VString& slot = fRecentStrings[(hash ^ (hash >> 10)) & (kSlots - 1)];
    if (slot.GetLength() != length || !std::equal(fToken.begin(), fToken.end(), slot.GetCPointer()))
        slot = VString(fToken.data(), length);
    return slot;
}

VError VJSONImporter::ParseString(const VString& text, VJSONValue& out, unsigned int options)
{
    VJSONImporter importer(text, options);
    return importer.Parse(out);
}

VError VJSONImporter::ParseFile(IFile* file, VJSONValue& out, unsigned int options)
{
    if (file == nullptr) {
        out.SetUndefined();
        return VE_OK;
    }
    VString text;
    if (VError error = file->GetContentAsString(text, CharSet::UTF8, eCRM_NONE))
        return error;
    VJSONImporter importer(text, options);
    importer.SetSource(file->GetPath().GetPath());
    return importer.Parse(out);
}

VError VJSONImporter::Parse(VJSONValue& out)
{
    if ((fOptions & kJSONOptionRecordLines) && !fPathsLines)
        fPathsLines = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
    VError error = _ParseValue(out, 0);
    if (error && (fOptions & kJSONOptionUndefinedOnError))
        out.SetUndefined();
    return error;
}

void VJSONImporter::_SkipBlanks()
{
    while (fPos < fLength) {
        UniChar c = fStart[fPos];
        if (c > 0x20)
            return;
        ++fPos;
        if (c == u'\n' || (c == u'\r' && (fPos >= fLength || fStart[fPos] != u'\n'))) {
            ++fLine;
            fLineStart = fPos;
        }
    }
}

JsonToken VJSONImporter::GetNextJSONToken(VString& text, bool* quoted, VError* outError)
{
    bool isQuoted = false;
    JsonToken token = _NextToken(&isQuoted, outError);
    if (quoted)
        *quoted = isQuoted;
    if (token == JsonToken::Value)
        text.FromUniString(fToken.data(), int32_t(fToken.size()));
    else
        text.Clear();
    return token;
}

JsonToken VJSONImporter::GetNextJSONToken(VError* outError)
{
    bool quoted = false;
    return _NextToken(&quoted, outError);
}

JsonToken VJSONImporter::_NextToken(bool* quoted, VError* outError)
{
    fLastTokenStart = fPos;
    *quoted = false;
    _SkipBlanks();
    if (fPos >= fLength)
        return JsonToken::End;
    fTokenStart = fPos;
    fTokenLine = fLine;
    fTokenLineStart = fLineStart;
    const UniChar c = fStart[fPos];
    switch (c) {
    case u'{': ++fPos; return JsonToken::ObjectStart;
    case u'}': ++fPos; return JsonToken::ObjectEnd;
    case u'[': ++fPos; return JsonToken::ArrayStart;
    case u']': ++fPos; return JsonToken::ArrayEnd;
    case u',': ++fPos; return JsonToken::Comma;
    case u':': ++fPos; return JsonToken::Colon;
    default: break;
    }
    fToken.clear();
    if (c != u'"') {
        while (fPos < fLength) {
            UniChar w = fStart[fPos];
            if (w <= 0x20) {
                ++fPos;
                if (w == u'\n' || (w == u'\r' && (fPos >= fLength || fStart[fPos] != u'\n'))) {
                    ++fLine;
                    fLineStart = fPos;
                }
                break;
            }
            if (w == u'"' || w == u',' || w == u':' || w == u'[' || w == u']' || w == u'{' || w == u'}')
                break;
            fToken.push_back(w);
            ++fPos;
        }
        return JsonToken::Value;
    }
    *quoted = true;
    ++fPos;
    for (;;) {
        // Plain runs are copied in one go.
        int32_t run = fPos;
        while (run < fLength) {
            UniChar r = fStart[run];
            if (r == u'"' || r == u'\\' || r == 0 || r == u'\n' || r == u'\r')
                break;
            ++run;
        }
        fToken.insert(fToken.end(), fStart + fPos, fStart + run);
        fPos = run;
        if (fPos >= fLength)
            break;
        UniChar s = fStart[fPos++];
        if (s == u'"')
            return JsonToken::Value;
        if (s == 0)
            continue;
        if (s == u'\n' || s == u'\r') {
            if (s == u'\n' || fPos >= fLength || fStart[fPos] != u'\n') {
                ++fLine;
                fLineStart = fPos;
            }
            fToken.push_back(s);
            continue;
        }
        // A backslash.
        if (fPos >= fLength) {
            fToken.push_back(0);
            break;
        }
        UniChar e = fStart[fPos++];
        switch (e) {
        case u'b': fToken.push_back(0x08); break;
        case u'f': fToken.push_back(0x0C); break;
        case u'n': fToken.push_back(0x0A); break;
        case u'r': fToken.push_back(0x0D); break;
        case u't': fToken.push_back(0x09); break;
        case u'u': {
            if (fLength - fPos < 4) {
                fPos = fLength;
                goto unterminated;
            }
            int first = HexDigitValue(fStart[fPos]);
            unsigned value = unsigned(first < 0 ? 0 : first);
            for (int k = 1; k < 4; ++k) {
                int digit = HexDigitValue(fStart[fPos + k]);
                if (digit >= 0)
                    value = value * 16 + unsigned(digit);
            }
            fToken.push_back(UniChar(value));
            fPos += 4;
            break;
        }
        default: fToken.push_back(e); break;
        }
    }
unterminated:
    if (fOptions & kJSONOptionStrict) {
        *outError = _ThrowToken(VE_JSON_UNTERMINATED_STRING, "\"");
        return JsonToken::End;
    }
    return JsonToken::Value;
}

VError VJSONImporter::_ParseValue(VJSONValue& out, int32_t depth)
{
    VError tokenError = VE_OK;
    bool quoted = false;
    JsonToken token = _NextToken(&quoted, &tokenError);
    if (tokenError) {
        out.SetUndefined();
        return tokenError;
    }
    return _ParseValueFromToken(token, quoted, out, depth, kExpectedValue);
}

VError VJSONImporter::_ParseValueFromToken(JsonToken token, bool quoted, VJSONValue& out, int32_t depth,
                                           const char* expected)
{
    switch (token) {
    case JsonToken::ObjectStart: return _ParseObject(out, depth + 1);
    case JsonToken::ArrayStart: return _ParseArray(out, depth + 1);
    case JsonToken::Value: return _StringToValue(quoted, out, expected);
    default:
        out.SetUndefined();
        return _ThrowInvalidToken(VString(TokenDisplay(token)), expected);
    }
}

VError VJSONImporter::_StringToValue(bool quoted, VJSONValue& out, const char* expected)
{
    if (quoted) {
        if ((fOptions & (kJSONOptionWithDates | kJSONOptionISODates)) && _ReadDate(out))
            return VE_OK;
        out.SetString(_TokenString());
        return VE_OK;
    }
    if (Equals(fToken, u"true")) {
        out.SetBool(true);
        return VE_OK;
    }
    if (Equals(fToken, u"false")) {
        out.SetBool(false);
        return VE_OK;
    }
    if (Equals(fToken, u"null")) {
        out.SetNull();
        return VE_OK;
    }
    VString word(fToken.data(), int32_t(fToken.size()));
    if (!fToken.empty() && (fToken[0] == u'-' || IsDigit(fToken[0]))) {
        if (!MatchesNumber(fToken)) {
            out.SetUndefined();
            return _ThrowInvalidToken(word, kExpectedNumber);
        }
        out.SetNumber(NumberValue(fToken));
        return VE_OK;
    }
    if (fOptions & kJSONOptionStrict) {
        out.SetUndefined();
        return _ThrowInvalidToken(word, expected);
    }
    out.SetString(word);
    return VE_OK;
}

bool VJSONImporter::_ReadDate(VJSONValue& out) const
{
    const UniChar* p = fToken.data();
    size_t n = fToken.size();
    int year = 0, month = 0, day = 0;
    bool found = false;
    if (fOptions & kJSONOptionWithDates) {
        if (fOptions & kJSONOptionNonAmbiguousDates)
            found = ReadCalendarDate(p, n, year, month, day);
        else if (n >= 4 && p[0] == u'!' && p[1] == u'!' && p[n - 2] == u'!' && p[n - 1] == u'!')
            found = ReadCalendarDate(p + 2, n - 4, year, month, day);
    }
    if (!found && (fOptions & kJSONOptionISODates))
        found = ReadCalendarDate(p, n, year, month, day);
    if (found)
        out.SetDate(year, month, day);
    return found;
}

namespace {

// Moves the members parsed since start into the object when the object's parse ends.
class StMembersToObject {
public:
    StMembersToObject(std::vector<std::pair<VString, VJSONValue>>& stack, VJSONObject* object)
        : fStack(stack), fStart(stack.size()), fObject(object) {}
    ~StMembersToObject()
    {
        if (fObject->Reserve(fStack.size() - fStart)) {
            for (size_t i = fStart; i < fStack.size(); ++i)
                (void)fObject->SetProperty(std::move(fStack[i].first), std::move(fStack[i].second));
        }
        fStack.erase(fStack.begin() + ptrdiff_t(fStart), fStack.end());
    }

private:
    std::vector<std::pair<VString, VJSONValue>>& fStack;
    size_t fStart;
    VJSONObject* fObject;
};

class StElementsToArray {
public:
    StElementsToArray(std::vector<VJSONValue>& stack, VJSONArray* array)
        : fStack(stack), fStart(stack.size()), fArray(array) {}
    ~StElementsToArray()
    {
        if (fArray->Reserve(fStack.size() - fStart)) {
            for (size_t i = fStart; i < fStack.size(); ++i)
                (void)fArray->Push(std::move(fStack[i]));
        }
        fStack.erase(fStack.begin() + ptrdiff_t(fStart), fStack.end());
    }
    size_t GetCount() const { return fStack.size() - fStart; }

private:
    std::vector<VJSONValue>& fStack;
    size_t fStart;
    VJSONArray* fArray;
};

} // namespace

VError VJSONImporter::_ParseObject(VJSONValue& out, int32_t depth)
{
    if (depth > kJSONMaxDepth) {
        out.SetUndefined();
        return _ThrowTooDeep();
    }
    VJSONObject* object = new VJSONObject();
    out.SetObject(object);
    object->Release();
    StMembersToObject members(fMemberStack, object);
    const bool record = (fOptions & kJSONOptionRecordLines) != 0;
    if (record && depth == 1)
        _RecordLine(VString("}"));
    bool afterComma = false;
    for (;;) {
        VError tokenError = VE_OK;
        bool quoted = false;
        JsonToken token = _NextToken(&quoted, &tokenError);
        if (tokenError)
            return tokenError;
        if (token == JsonToken::ObjectEnd) {
            if (!afterComma)
                return VE_OK;
            return _ThrowToken(VE_JSON_EXTRA_COMMA, "}");
        }
        if (token != JsonToken::Value)
            return _ThrowInvalidToken(VString(TokenDisplay(token)), afterComma ? "\"" : "\" }");
        VString name = _TokenString();
        if (!quoted && (fOptions & kJSONOptionStrict))
            return _ThrowInvalidToken(name, "\"");
        VString savedPath;
        if (record) {
            savedPath = fPath;
            if (!fPath.IsEmpty())
                fPath.AppendUniChar(u'.');
            fPath.AppendString(name);
            _RecordLine(fPath);
        }
        token = _NextToken(&quoted, &tokenError);
        if (tokenError)
            return tokenError;
        if (token != JsonToken::Colon)
            return _ThrowInvalidToken(_FirstCharAtLastToken(), ":");
        VJSONValue value;
        VError error = _ParseValue(value, depth);
        if (record)
            fPath = savedPath;
        if (error)
            return error;
        fMemberStack.emplace_back(std::move(name), std::move(value));
        token = _NextToken(&quoted, &tokenError);
        if (tokenError)
            return tokenError;
        if (token == JsonToken::ObjectEnd)
            return VE_OK;
        if (token != JsonToken::Comma)
            return _ThrowInvalidToken(VString(TokenDisplay(token)), "} ,");
        afterComma = true;
    }
}

VError VJSONImporter::_ParseArray(VJSONValue& out, int32_t depth)
{
    if (depth > kJSONMaxDepth) {
        out.SetUndefined();
        return _ThrowTooDeep();
    }
    VJSONArray* array = new VJSONArray();
    out.SetArray(array);
    array->Release();
    StElementsToArray elements(fElementStack, array);
    const bool record = (fOptions & kJSONOptionRecordLines) != 0;
    bool afterComma = false;
    for (;;) {
        VError tokenError = VE_OK;
        bool quoted = false;
        JsonToken token = _NextToken(&quoted, &tokenError);
        if (tokenError)
            return tokenError;
        if (token == JsonToken::ArrayEnd) {
            if (!afterComma)
                return VE_OK;
            return _ThrowToken(VE_JSON_EXTRA_COMMA, "]");
        }
        if (token != JsonToken::ObjectStart && token != JsonToken::ArrayStart && token != JsonToken::Value)
            return _ThrowInvalidToken(VString(TokenDisplay(token)), afterComma ? kExpectedValue : kExpectedFirstElement);
        VString savedPath;
        if (record) {
            savedPath = fPath;
            fPath.AppendUniChar(u'[');
            fPath.AppendULong8(elements.GetCount());
            fPath.AppendUniChar(u']');
            _RecordLine(fPath);
        }
        VJSONValue element;
        VError error = _ParseValueFromToken(token, quoted, element, depth, kExpectedFirstElement);
        if (record)
            fPath = savedPath;
        if (error)
            return error;
        fElementStack.push_back(std::move(element));
        token = _NextToken(&quoted, &tokenError);
        if (tokenError)
            return tokenError;
        if (token == JsonToken::ArrayEnd)
            return VE_OK;
        if (token != JsonToken::Comma)
            return _ThrowInvalidToken(_FirstCharAtLastToken(), "] ,");
        afterComma = true;
    }
}

VString VJSONImporter::_FirstCharAtLastToken() const
{
    int32_t p = fLastTokenStart;
    while (p < fLength && fStart[p] <= 0x20)
        ++p;
    return p < fLength ? VString(fStart[p]) : VString();
}

void VJSONImporter::_RecordLine(const VString& path)
{
    VJSONObject* record = new VJSONObject();
    (void)record->SetProperty(VString("line"), VJSONValue(double(fTokenLine)));
    (void)record->SetProperty(VString("offset"), VJSONValue(double(fTokenStart - fTokenLineStart)));
    (void)fPathsLines->SetProperty(path, VJSONValue(record));
    record->Release();
}

VError VJSONImporter::_ThrowInvalidToken(const VString& found, const char* expected)
{
    if (fOptions & kJSONOptionNoErrorRecord)
        return VE_JSON_MALFORMED;
    VErrorBase* error = new VErrorBase(found.IsEmpty() ? VE_JSON_NOTHING_FOUND : VE_JSON_INVALID_TOKEN);
    error->GetBag()->SetString(kKeyFound, found);
    error->GetBag()->SetString(kKeyExpected, VString(expected));
    _PushRetainedError(error);
    return _ThrowErrorMalformed();
}

VError VJSONImporter::_ThrowToken(VError code, const char* token)
{
    VErrorBase* error = new VErrorBase(code);
    error->GetBag()->SetString(kKeyToken, VString(token));
    _PushRetainedError(error);
    return _ThrowErrorMalformed();
}

VError VJSONImporter::_ThrowTooDeep()
{
    VErrorBase* error = new VErrorBase(VE_JSON_TOO_DEEP);
    error->GetBag()->SetLong(kKeyLimit, kJSONMaxDepth);
    _PushRetainedError(error);
    return _ThrowErrorMalformed();
}

VError VJSONImporter::_ThrowErrorMalformed()
{
    int32_t end = fLastTokenStart;
    while (end < fLength && fStart[end] <= 0x20)
        ++end;
    int32_t crCount = 0, lfCount = 0, afterCR = 0, afterLF = 0;
    for (int32_t i = 0; i < end; ++i) {
        if (fStart[i] == u'\r') {
            ++crCount;
            afterCR = i + 1;
        } else if (fStart[i] == u'\n') {
            ++lfCount;
            afterLF = i + 1;
        }
    }
    const int32_t line = (crCount > lfCount ? crCount : lfCount) + 1;
    const int32_t position = end - (lfCount > crCount ? afterLF : afterCR) + 1;
    VString source(fSource);
    if (!source.IsEmpty())
        source.AppendCString(", ");
    VErrorBase* error = new VErrorBase(VE_JSON_MALFORMED);
    error->GetBag()->SetString(kKeySource, source);
    error->GetBag()->SetLong(kKeyLine, line);
    error->GetBag()->SetLong(kKeyPosition, position);
    _PushRetainedError(error);
    return VE_JSON_MALFORMED;
}

} // namespace nuvo
