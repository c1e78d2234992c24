#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "kernel/base/VTypes.h"

struct UCollator;

namespace nuvo {

class VString;

// Localized comparison, search and case mapping of UTF-16 text for one language, over ICU.
//
// "diacritical" false compares at the primary level (case and accents ignored); true respects
// accents and case through the case level; width differences are ignored in both. Collators are
// created once per language and live until the process ends; GetDefault() serves the process
// language (LC_ALL, LC_COLLATE, LANG; the root rules otherwise).
//
// Text made only of printable ASCII (plus tab and line ends) takes a shortcut built from the
// collator's own weights when the language's rules allow it, so it answers exactly as ICU does.
//
// Thread-safe: all members are const after construction; searches serialise on an internal lock.
// When ICU cannot open a collator, comparisons fall back to code-unit order with ASCII case folding.
class VCollator {
public:
    static const VCollator& GetDefault()
    {
        // Inline, so that a comparison pays no call to find the collator once it exists.
        static const VCollator& collator = GetForLanguage(GetProcessLanguage());
        return collator;
    }
    // localeId is an ICU locale id ("fr_CA", "tr"); "" is the root rules.
    static const VCollator& GetForLanguage(const std::string& localeId);
    // The process language as an ICU locale id, "" when unset or "C"/"POSIX".
    static std::string GetProcessLanguage();
    static bool IsWhiteSpace(UniChar unit);

    VCollator(const VCollator&) = delete;
    VCollator& operator=(const VCollator&) = delete;
    ~VCollator();

    const std::string& GetLanguage() const { return fLanguage; }

    bool Equal(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const
    {
        // Keys and option names are short printable ASCII: settled inline, in one pass.
        int answer = -1;
        if (aLength == bLength && fPrintableAsciiEqual) {
            answer = _EqualPrintableAscii(a, b, aLength, diacritical);
            if (answer >= 0)
                return answer != 0;
        }
        return _EqualSlow(a, aLength, b, bLength, diacritical, answer == -2);
    }
    // -1, 0 or 1.
    int Compare(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const;
    bool BeginsWith(const UniChar* text, int32_t textLength, const UniChar* prefix, int32_t prefixLength,
                    bool diacritical) const;
    bool EndsWith(const UniChar* text, int32_t textLength, const UniChar* suffix, int32_t suffixLength,
                  bool diacritical) const;
    // 1-based position of the first match at or after startPos, 0 when none (or pattern empty).
    // outMatchLength receives the matched length in text, which may differ from patternLength.
    int32_t Find(const UniChar* text, int32_t textLength, const UniChar* pattern, int32_t patternLength,
                 int32_t startPos, bool diacritical, int32_t* outMatchLength) const;

    // Full case mapping for the language; false (out untouched) when nothing changes or ICU fails.
    bool ToLowerCase(const UniChar* text, int32_t length, VString& out) const;
    bool ToUpperCase(const UniChar* text, int32_t length, VString& out) const;

    // For tests and benchmarks: whether ASCII text bypasses ICU, and the ICU answers alone.
    bool HasAsciiShortcut() const { return fAsciiShortcut; }
    int CompareWithICU(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const;
    int32_t FindWithICU(const UniChar* text, int32_t textLength, const UniChar* pattern, int32_t patternLength,
                        int32_t startPos, bool diacritical, int32_t* outMatchLength) const;
    bool EndsWithICU(const UniChar* text, int32_t textLength, const UniChar* suffix, int32_t suffixLength,
                     bool diacritical) const;

private:
    explicit VCollator(std::string language);
    void _BuildAsciiShortcut();
    bool _IsShortcutText(const UniChar* text, int32_t length) const;
    bool _CanSearchShortcut(const UniChar* text, int32_t textLength, const UniChar* pattern,
                            int32_t patternLength) const;
    // nonAscii: a unit at or above 0x80 was seen, so only ICU can answer.
    bool _EqualSlow(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical,
                    bool nonAscii) const;
    static int _EqualPrintableAscii(const UniChar* a, const UniChar* b, int32_t length, bool diacritical);
    int _EqualShortcut(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const;
    int _CompareShortcut(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const;
    int32_t _FindShortcut(const UniChar* text, int32_t textLength, const UniChar* pattern, int32_t patternLength,
                          int32_t from, bool diacritical) const;
    bool _IsCaseExact(const UniChar* match, int32_t matchLength, const UniChar* pattern, int32_t patternLength,
                      bool diacritical) const;
    bool _MatchesShortcut(const UniChar* text, const UniChar* pattern, int32_t length, bool diacritical) const;
    bool _CaseMap(const UniChar* text, int32_t length, VString& out, bool upper) const;

    std::string fLanguage;
    UCollator* fCollators[2] = {nullptr, nullptr};     // [diacritical]: compare
    UCollator* fSearchCollators[2] = {nullptr, nullptr}; // [diacritical]: used under fSearchLock
    mutable std::mutex fSearchLock;
    bool fAsciiShortcut = false;
    bool fAsciiCaseMapping = false;
    // The shortcut's primary classes are exactly the ASCII case pairs (not so in Turkish).
    bool fAsciiCaseFold = false;
    // Both of the above: two printable ASCII texts are equal exactly when they are equal after
    // mapping A-Z to a-z (diacritical false) or identical (true).
    bool fPrintableAsciiEqual = false;
    // Primary rank of each ASCII code unit; 0 marks units outside the shortcut.
    uint8_t fRank[128] = {};
};

// 1 equal, 0 different, -1 when a unit is an ASCII control or DEL, -2 when a unit is not ASCII.
// Four units per 64-bit word for both texts at once, with no branch per unit; the last word
// overlaps the one before it, and a text of 1 to 3 units is packed into one word (repeating
// units, which changes no answer). Forced inline: the compiler keeps it out of line otherwise,
// and the call costs as much as the work.
[[gnu::always_inline]] inline int VCollator::_EqualPrintableAscii(const UniChar* a, const UniChar* b, int32_t length,
                                                                  bool diacritical)
{
    constexpr uint64_t kOnes = 0x0001000100010001ULL;
    constexpr uint64_t kHigh = 0x80 * kOnes;
    uint64_t high = 0;       // a unit at or above 0x80
    uint64_t del = 0;        // 0x7F, which the + 1 carries to 0x80
    uint64_t all = kHigh;    // loses a lane's 0x80 for a unit below 0x20
    uint64_t diff = 0;
    auto step = [&](uint64_t x, uint64_t y) {
        high |= x | y;
        del |= (x + kOnes) | (y + kOnes);
        all &= (x + 0x60 * kOnes) & (y + 0x60 * kOnes);
        const uint64_t e = x ^ y;
        if (diacritical) {
            diff |= e;
        } else {
            // Printable units equal after folding differ at most by 0x20, and only in letters.
            const uint64_t lower = x | (0x20 * kOnes);
            const uint64_t letter = (lower + (0x80 - 'a') * kOnes) & ~(lower + (0x80 - 'z' - 1) * kOnes) & kHigh;
            diff |= e & ~(letter >> 2);
        }
    };
    auto load = [](const UniChar* p) {
        uint64_t v;
        std::memcpy(&v, p, sizeof(v));
        return v;
    };
    if (length >= 4) {
        int32_t i = 0;
        for (; i + 4 <= length; i += 4) {
            step(load(a + i), load(b + i));
            if ((high & (0xFF80 * kOnes)) != 0)
                return -2; // accented text: leave it to ICU at once
        }
        if (i < length)
            step(load(a + length - 4), load(b + length - 4));
    } else if (length > 0) {
        auto pack = [length](const UniChar* p) {
            const int32_t last = length - 1;
            return uint64_t(p[0]) | (uint64_t(p[last / 2]) << 16) | (uint64_t(p[last]) << 32) | (uint64_t(p[0]) << 48);
        };
        step(pack(a), pack(b));
    }
    if ((high & (0xFF80 * kOnes)) != 0)
        return -2;
    if (((del | ~all) & kHigh) != 0)
        return -1;
    return diff == 0 ? 1 : 0;
}

} // namespace nuvo
