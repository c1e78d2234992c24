#pragma once

#include <cstdint>
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
    static const VCollator& GetDefault();
    // localeId is an ICU locale id ("fr_CA", "tr"); "" is the root rules.
    static const VCollator& GetForLanguage(const std::string& localeId);
    // The process language as an ICU locale id, "" when unset or "C"/"POSIX".
    static std::string GetProcessLanguage();
    static bool IsWhiteSpace(UniChar unit);

    VCollator(const VCollator&) = delete;
    VCollator& operator=(const VCollator&) = delete;
    ~VCollator();

    const std::string& GetLanguage() const { return fLanguage; }

    bool Equal(const UniChar* a, int32_t aLength, const UniChar* b, int32_t bLength, bool diacritical) const;
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
    // Primary rank of each ASCII code unit; 0 marks units outside the shortcut.
    uint8_t fRank[128] = {};
};

} // namespace nuvo
