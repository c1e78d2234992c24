#include "kernel/text/VCollator.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/usearch.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>

#include "kernel/text/VString.h"

namespace nuvo {

namespace {

// Printable ASCII plus tab, line feed, vertical tab, form feed and carriage return: the units
// that carry a primary weight of their own in the root rules. The other controls are ignorable.
inline bool IsShortcutCandidate(UniChar c)
{
    return (c >= 0x20 && c <= 0x7E) || (c >= 0x09 && c <= 0x0D);
}

inline bool IsAsciiUpper(UniChar c)
{
    return c >= u'A' && c <= u'Z';
}

inline UniChar FoldAsciiCase(UniChar c)
{
    return IsAsciiUpper(c) ? UniChar(c + (u'a' - u'A')) : c;
}

inline int Sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Fallback when ICU has no collator: code units with ASCII case folding.
int CompareFolded(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical)
{
    const int32_t n = std::min(aLength, bLength);
    for (int32_t i = 0; i < n; ++i) {
        const UniChar x = diacritical ? a[i] : FoldAsciiCase(a[i]);
        const UniChar y = diacritical ? b[i] : FoldAsciiCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

UCollator* OpenCollator(const std::string& language, bool diacritical)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(language.c_str(), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    // Secondary strength with the case level: accents and case count, width (a tertiary
    // difference) does not.
    ucol_setAttribute(collator, UCOL_STRENGTH, diacritical ? UCOL_SECONDARY : UCOL_PRIMARY, &status);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, diacritical ? UCOL_ON : UCOL_OFF, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    return collator;
}

struct CollatorCache {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<VCollator>> collators;
};

CollatorCache& Cache()
{
    static CollatorCache* cache = new CollatorCache; // lives until exit, after every user
    return *cache;
}

} // namespace

std::string VCollator::GetProcessLanguage()
{
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        value = std::getenv(name);
        if (value != nullptr && value[0] != 0)
            break;
        value = nullptr;
    }
    if (value == nullptr)
        return {};
    // "fr_FR.UTF-8@euro" -> "fr_FR": ICU wants no encoding, and POSIX modifiers are not ICU's.
    std::string language(value);
    language = language.substr(0, language.find_first_of(".@"));
    if (language == "C" || language == "POSIX")
        return {};
    return language;
}

const VCollator& VCollator::GetForLanguage(const std::string& localeId)
{
    CollatorCache& cache = Cache();
    std::lock_guard guard(cache.lock);
    std::unique_ptr<VCollator>& slot = cache.collators[localeId];
    if (!slot)
        slot.reset(new VCollator(localeId));
    return *slot;
}

bool VCollator::IsWhiteSpace(UniChar unit)
{
    return u_isUWhiteSpace(unit);
}

VCollator::VCollator(std::string language)
    : fLanguage(std::move(language))
{
    for (int diacritical = 0; diacritical < 2; ++diacritical) {
        fCollators[diacritical] = OpenCollator(fLanguage, diacritical != 0);
        fSearchCollators[diacritical] = OpenCollator(fLanguage, diacritical != 0);
    }
    _BuildAsciiShortcut();
    const std::string base = fLanguage.substr(0, fLanguage.find_first_of("_-"));
    // Turkic languages map i and I to dotted and dotless forms.
    fAsciiCaseMapping = base != "tr" && base != "az";
}

VCollator::~VCollator()
{
    for (int i = 0; i < 2; ++i) {
        ucol_close(fCollators[i]);
        ucol_close(fSearchCollators[i]);
    }
}

// Derives the shortcut from the collator itself: the primary order of the candidate units. The
// shortcut is refused when the rules could make ASCII text collate other than unit by unit:
// contractions or expansions made of ASCII, ignorable punctuation, numeric ordering, upper case
// first, or two different units tied other than as a case pair.
void VCollator::_BuildAsciiShortcut()
{
    fAsciiShortcut = false;
    UCollator* primary = fCollators[0];
    UCollator* secondary = fCollators[1];
    if (primary == nullptr || secondary == nullptr)
        return;

    UErrorCode status = U_ZERO_ERROR;
    if (ucol_getAttribute(primary, UCOL_ALTERNATE_HANDLING, &status) != UCOL_NON_IGNORABLE
        || ucol_getAttribute(primary, UCOL_NUMERIC_COLLATION, &status) != UCOL_OFF
        || ucol_getAttribute(secondary, UCOL_CASE_FIRST, &status) == UCOL_UPPER_FIRST || U_FAILURE(status))
        return;

    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(primary, contractions, expansions, true, &status);
    bool asciiSequences = U_FAILURE(status);
    for (UChar32 c = 0; c < 0x80 && !asciiSequences; ++c)
        asciiSequences = uset_contains(expansions, c);
    UChar item[64];
    for (int32_t i = 0, n = uset_getItemCount(contractions); i < n && !asciiSequences; ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        UErrorCode itemStatus = U_ZERO_ERROR;
        const int32_t length = uset_getItem(contractions, i, &start, &end, item, 64, &itemStatus);
        if (length == 0 || U_FAILURE(itemStatus))
            continue; // a range of single code points, or a string too long to be ASCII-relevant
        asciiSequences = std::all_of(item, item + length, [](UChar c) { return c < 0x80; });
    }
    uset_close(contractions);
    uset_close(expansions);
    if (asciiSequences)
        return;

    std::vector<UniChar> units;
    for (UniChar c = 0; c < 0x80; ++c) {
        if (!IsShortcutCandidate(c))
            continue;
        // An ignorable unit compares equal to nothing at all.
        if (ucol_strcoll(primary, &c, 1, nullptr, 0) == UCOL_EQUAL)
            return;
        units.push_back(c);
    }
    std::stable_sort(units.begin(), units.end(), [primary](UniChar a, UniChar b) {
        return ucol_strcoll(primary, &a, 1, &b, 1) == UCOL_LESS;
    });
    uint8_t rank = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        if (i == 0 || ucol_strcoll(primary, &units[i - 1], 1, &units[i], 1) != UCOL_EQUAL) {
            ++rank;
        } else if (FoldAsciiCase(units[i - 1]) != FoldAsciiCase(units[i])) {
            return;
        }
        fRank[units[i]] = rank;
    }
    fAsciiShortcut = true;
    fAsciiCaseFold = true;
    for (UniChar c = u'A'; c <= u'Z'; ++c)
        fAsciiCaseFold = fAsciiCaseFold && fRank[c] == fRank[FoldAsciiCase(c)];
    fPrintableAsciiEqual = fAsciiCaseFold;
}

bool VCollator::_IsShortcutText(const UniChar* text, int32_t length) const
{
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] >= 0x80 || fRank[text[i]] == 0)
            return false;
    }
    return true;
}

// Every unit of shortcut text yields one collation element, so comparing the primary ranks in
// order is ICU's primary comparison. At equal primaries the case level decides: lower case first.
int VCollator::_CompareShortcut(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength,
                                bool diacritical) const
{
    const int32_t n = std::min(aLength, bLength);
    for (int32_t i = 0; i < n; ++i) {
        if (fRank[a[i]] != fRank[b[i]])
            return fRank[a[i]] < fRank[b[i]] ? -1 : 1;
    }
    if (aLength != bLength)
        return aLength < bLength ? -1 : 1;
    if (diacritical) {
        for (int32_t i = 0; i < n; ++i) {
            if (a[i] != b[i])
                return IsAsciiUpper(a[i]) ? 1 : -1;
        }
    }
    return 0;
}

bool VCollator::_MatchesShortcut(const UniChar* text, const UniChar* pattern, int32_t length, bool diacritical) const
{
    for (int32_t i = 0; i < length; ++i) {
        if (diacritical ? text[i] != pattern[i] : fRank[text[i]] != fRank[pattern[i]])
            return false;
    }
    return true;
}

int32_t VCollator::_FindShortcut(const UniChar* text, int32_t textLength, const UniChar* pattern,
                                 int32_t patternLength, int32_t from, bool diacritical) const
{
    for (int32_t i = from; i + patternLength <= textLength; ++i) {
        if (_MatchesShortcut(text + i, pattern, patternLength, diacritical))
            return i;
    }
    return -1;
}

int VCollator::CompareWithICU(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength,
                              bool diacritical) const
{
    const UCollator* collator = fCollators[diacritical ? 1 : 0];
    if (collator == nullptr)
        return CompareFolded(a, aLength, b, bLength, diacritical);
    return Sign(ucol_strcoll(collator, a, aLength, b, bLength));
}

int VCollator::Compare(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const
{
    if (fAsciiShortcut && _IsShortcutText(a, aLength) && _IsShortcutText(b, bLength))
        return _CompareShortcut(a, aLength, b, bLength, diacritical);
    return CompareWithICU(a, aLength, b, bLength, diacritical);
}

bool VCollator::_EqualSlow(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical,
                           bool nonAscii) const
{
    if (nonAscii) // ICU skips an identical start by itself
        return CompareWithICU(a, aLength, b, bLength, diacritical) == 0;
    // Identical units collate equal under any rules.
    if (aLength == bLength && std::memcmp(a, b, size_t(aLength) * sizeof(UniChar)) == 0)
        return true;
    if (fAsciiShortcut) {
        const int answer = _EqualShortcut(a, aLength, b, bLength, diacritical);
        if (answer >= 0)
            return answer == 1;
    }
    return CompareWithICU(a, aLength, b, bLength, diacritical) == 0;
}

// 1 equal, 0 different, -1 when the texts are not all shortcut text and ICU must answer.
int VCollator::_EqualShortcut(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength,
                              bool diacritical) const
{
    // Shortcut text has one primary weight per unit: different lengths never collate equal.
    if (aLength != bLength)
        return _IsShortcutText(a, aLength) && _IsShortcutText(b, bLength) ? 0 : -1;
    int32_t i = 0;
    bool different = false;
    for (; i < aLength && !different; ++i) {
        const UniChar x = a[i];
        const UniChar y = b[i];
        if ((x | y) >= 0x80)
            return -1;
        const uint8_t rx = fRank[x];
        const uint8_t ry = fRank[y];
        if (rx == 0 || ry == 0)
            return -1;
        different = diacritical ? x != y : rx != ry;
    }
    if (!different)
        return 1;
    // A difference is final only if the rest is shortcut text too.
    return _IsShortcutText(a + i, aLength - i) && _IsShortcutText(b + i, bLength - i) ? 0 : -1;
}

// Shortcut searches also need text without CR: ICU keeps CR LF together as one character
// and never starts a match on its LF.
bool VCollator::_CanSearchShortcut(const UniChar* text, int32_t textLength, const UniChar* pattern,
                                   int32_t patternLength) const
{
    if (!fAsciiShortcut || !_IsShortcutText(pattern, patternLength) || !_IsShortcutText(text, textLength))
        return false;
    return std::find(text, text + textLength, u'\r') == text + textLength;
}

int32_t VCollator::Find(const UniChar* text, int32_t textLength, const UniChar* pattern, int32_t patternLength,
                        int32_t startPos, bool diacritical, int32_t* outMatchLength) const
{
    const int32_t from = std::max(startPos, 1) - 1;
    if (patternLength <= 0 || from >= textLength)
        return 0;
    if (_CanSearchShortcut(text, textLength, pattern, patternLength)) {
        const int32_t at = _FindShortcut(text, textLength, pattern, patternLength, from, diacritical);
        if (at < 0)
            return 0;
        if (outMatchLength != nullptr)
            *outMatchLength = patternLength;
        return at + 1;
    }
    return FindWithICU(text, textLength, pattern, patternLength, startPos, diacritical, outMatchLength);
}

int32_t VCollator::FindWithICU(const UniChar* text, int32_t textLength, const UniChar* pattern, int32_t patternLength,
                               int32_t startPos, bool diacritical, int32_t* outMatchLength) const
{
    const int32_t from = std::max(startPos, 1) - 1;
    if (patternLength <= 0 || from >= textLength)
        return 0;
    UCollator* collator = fSearchCollators[diacritical ? 1 : 0];
    if (collator == nullptr) {
        for (int32_t i = from; i + patternLength <= textLength; ++i) {
            if (CompareFolded(text + i, patternLength, pattern, patternLength, diacritical) == 0) {
                if (outMatchLength != nullptr)
                    *outMatchLength = patternLength;
                return i + 1;
            }
        }
        return 0;
    }

    std::lock_guard guard(fSearchLock);
    UErrorCode status = U_ZERO_ERROR;
    UStringSearch* search = usearch_openFromCollator(pattern, patternLength, text, textLength, collator, nullptr, &status);
    int32_t found = -1;
    int32_t matchLength = 0;
    // A candidate may be refused on case: search again one unit further. Restarting with
    // usearch_following, rather than usearch_next in overlap mode, which can loop forever on
    // contractions, guarantees progress.
    for (int32_t pos = from; U_SUCCESS(status) && pos < textLength;) {
        const int32_t at = usearch_following(search, pos, &status);
        if (U_FAILURE(status) || at == USEARCH_DONE)
            break;
        matchLength = usearch_getMatchedLength(search);
        if (_IsCaseExact(text + at, matchLength, pattern, patternLength, diacritical)) {
            found = at;
            break;
        }
        pos = std::max(at, pos) + 1;
    }
    usearch_close(search);
    if (U_FAILURE(status) || found < 0)
        return 0;
    if (outMatchLength != nullptr)
        *outMatchLength = matchLength;
    return found + 1;
}

// The search works on collation elements, which have no case level: with diacritical set, a
// candidate that differs only in case is refused here.
bool VCollator::_IsCaseExact(const UniChar* match, int32_t matchLength, const UniChar* pattern,
                             int32_t patternLength, bool diacritical) const
{
    return !diacritical || CompareWithICU(match, matchLength, pattern, patternLength, true) == 0;
}

bool VCollator::BeginsWith(const UniChar* text, int32_t textLength, const UniChar* prefix, int32_t prefixLength,
                           bool diacritical) const
{
    if (prefixLength == 0)
        return true;
    if (_CanSearchShortcut(text, textLength, prefix, prefixLength))
        return prefixLength <= textLength && _MatchesShortcut(text, prefix, prefixLength, diacritical);
    // The first match is the leftmost one.
    return FindWithICU(text, textLength, prefix, prefixLength, 1, diacritical, nullptr) == 1;
}

bool VCollator::EndsWith(const UniChar* text, int32_t textLength, const UniChar* suffix, int32_t suffixLength,
                         bool diacritical) const
{
    if (suffixLength == 0)
        return true;
    if (_CanSearchShortcut(text, textLength, suffix, suffixLength))
        return suffixLength <= textLength
            && _MatchesShortcut(text + (textLength - suffixLength), suffix, suffixLength, diacritical);
    return EndsWithICU(text, textLength, suffix, suffixLength, diacritical);
}

bool VCollator::EndsWithICU(const UniChar* text, int32_t textLength, const UniChar* suffix, int32_t suffixLength,
                            bool diacritical) const
{
    if (suffixLength == 0)
        return true;
    UCollator* collator = fSearchCollators[diacritical ? 1 : 0];
    if (collator == nullptr)
        return suffixLength <= textLength
            && CompareFolded(text + (textLength - suffixLength), suffixLength, suffix, suffixLength, diacritical) == 0;

    std::lock_guard guard(fSearchLock);
    UErrorCode status = U_ZERO_ERROR;
    UStringSearch* search = usearch_openFromCollator(suffix, suffixLength, text, textLength, collator, nullptr, &status);
    // Matches differ in length: try every start until one ends the text (see FindWithICU for
    // why the search restarts instead of iterating).
    bool found = false;
    for (int32_t pos = 0; U_SUCCESS(status) && pos < textLength && !found;) {
        const int32_t at = usearch_following(search, pos, &status);
        if (U_FAILURE(status) || at == USEARCH_DONE)
            break;
        const int32_t matchLength = usearch_getMatchedLength(search);
        found = at + matchLength == textLength
            && _IsCaseExact(text + at, matchLength, suffix, suffixLength, diacritical);
        pos = std::max(at, pos) + 1;
    }
    usearch_close(search);
    return found;
}

bool VCollator::_CaseMap(const UniChar* text, int32_t length, VString& out, bool upper) const
{
    bool ascii = fAsciiCaseMapping;
    bool changes = false;
    for (int32_t i = 0; i < length && ascii; ++i) {
        ascii = text[i] < 0x80;
        changes = changes || (upper ? (text[i] >= u'a' && text[i] <= u'z') : IsAsciiUpper(text[i]));
    }
    if (ascii) {
        if (!changes)
            return false;
        UniChar* dst = out.GetCPointerForWrite(length);
        if (dst == nullptr)
            return false;
        for (int32_t i = 0; i < length; ++i) {
            const UniChar c = text[i];
            dst[i] = upper ? ((c >= u'a' && c <= u'z') ? UniChar(c - (u'a' - u'A')) : c) : FoldAsciiCase(c);
        }
        return out.Validate(length);
    }

    // Full mappings may change the length (German sharp s upper-cases to SS): ask ICU for it.
    const char* locale = fLanguage.c_str();
    UErrorCode status = U_ZERO_ERROR;
    const int32_t needed = upper ? u_strToUpper(nullptr, 0, text, length, locale, &status)
                                 : u_strToLower(nullptr, 0, text, length, locale, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return false;
    UniChar* dst = out.GetCPointerForWrite(needed);
    if (dst == nullptr)
        return false;
    status = U_ZERO_ERROR;
    const int32_t written = upper ? u_strToUpper(dst, needed + 1, text, length, locale, &status)
                                  : u_strToLower(dst, needed + 1, text, length, locale, &status);
    if (U_FAILURE(status) || written != needed)
        return false;
    return out.Validate(written);
}

bool VCollator::ToLowerCase(const UniChar* text, int32_t length, VString& out) const
{
    return _CaseMap(text, length, out, false);
}

bool VCollator::ToUpperCase(const UniChar* text, int32_t length, VString& out) const
{
    return _CaseMap(text, length, out, true);
}

} // namespace nuvo
