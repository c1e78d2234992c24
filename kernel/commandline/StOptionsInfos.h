#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kernel/commandline/VOptionBase.h"

namespace nuvo::Private::CommandLineParser {

// Everything a VCommandLineParser knows: the options and paragraphs in registration order (the
// listings' order), the lookup maps of short and long names, and the holder of the plain
// arguments. Owns every option, paragraph and the holder; keeps a reference to the caller's
// argument vector, which must outlive it. Main thread only.
class StOptionsInfos {
public:
    // An option as found by name, with the requiresValue it was registered with.
    using Entry = std::pair<VOptionBase*, bool>;

    explicit StOptionsInfos(const std::vector<VString>& args);
    ~StOptionsInfos();
    StOptionsInfos(const StOptionsInfos&) = delete;
    StOptionsInfos& operator=(const StOptionsInfos&) = delete;

    // Takes ownership. A later option under the same name wins the lookups; both stay listed.
    void RegisterOption(bool requiresValue, VOptionBase* option);
    void AddParagraph(const VString& text);
    // Takes ownership; replaces (and destroys) the previous holder.
    void SetArgumentHolder(VOptionBase* holder);
    void Clear();

    const Entry* FindShort(UniChar name) const;
    const Entry* FindLong(const VString& name) const;

    // The help listing for programPath, on standard output without a flush.
    void HelpUsage(const VString& programPath) const;
    // The same text; colour escapes only when colour is true.
    void BuildHelpUsage(const VString& programPath, bool colour, VString& out) const;

    const std::vector<VString>& GetArgs() const { return fArgs; }
    const std::vector<VOptionBase*>& GetOptions() const { return fOptions; }
    VOptionBase* GetArgumentHolder() const { return fArgumentHolder; }
    bool IsRegistrationEnabled() const { return fRegistrationEnabled; }
    bool AreParagraphsEnabled() const { return fParagraphsEnabled; }
    bool IsReadingStandardInput() const { return fReadStandardInput; }
    void SetReadingStandardInput(bool read) { fReadStandardInput = read; }

private:
    struct ShortNameHash {
        size_t operator()(UniChar unit) const { return unit; }
    };
    struct LongNameHash {
        size_t operator()(const VString& name) const;
    };
    struct LongNameEqual {
        bool operator()(const VString& a, const VString& b) const { return a.EqualToStringRaw(b); }
    };

    std::unordered_map<UniChar, Entry, ShortNameHash> fShortOptions;
    std::unordered_map<VString, Entry, LongNameHash, LongNameEqual> fLongOptions;
    VOptionBase* fArgumentHolder = nullptr;
    std::vector<VOptionBase*> fOptions;
    const std::vector<VString>& fArgs;
    bool fRegistrationEnabled;
    bool fParagraphsEnabled = true;
    bool fReadStandardInput = false;
};

} // namespace nuvo::Private::CommandLineParser
