#include "kernel/commandline/StOptionsInfos.h"

#include <cstdio>
#include <string>

#include "kernel/commandline/VArgOption.h"
#include "kernel/platform/XPosixCommandLine.h"

namespace nuvo::Private::CommandLineParser {

namespace {

// Layout of the help listing: descriptions start at column 29 (24 for options with a short name
// only); longer descriptions wrap at 50 columns, paragraphs of 80 characters or more at 80.
constexpr int32_t kDescriptionColumn = 29;
constexpr int32_t kDescriptionWidth = 50;
constexpr int32_t kParagraphWidth = 80;

const char* const kGreen = "\x1B[0;32m";
const char* const kYellow = "\x1B[0;33m";
const char* const kReset = "\x1B[0m";

bool IsBreak(UniChar unit)
{
    return unit == u' ' || unit == u'.' || unit == u'\r' || unit == u'\n' || unit == u'\t';
}

void AppendBlanks(VString& out, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        out.AppendUniChar(u' ');
}

// Cuts text into lines of fewer than width characters at break characters (a line feed always
// ends a line), writing continuation between lines. The break at a cut is dropped, except a
// period, which ends a sentence. A word longer than width is cut at the break that ends it.
void AppendWrapped(const VString& text, int32_t width, const VString& continuation, VString& out)
{
    const UniChar* units = text.GetCPointer();
    const int32_t length = text.GetLength();
    int32_t lineStart = 0;
    int32_t pos = 0;
    int32_t lastBreak = -1;
    for (;;) {
        int32_t found = pos;
        while (found < length && !IsBreak(units[found]))
            ++found;
        if (found >= length) {
            out.AppendUniChars(units + lineStart, length - lineStart);
            return;
        }
        if (found - lineStart < width) {
            if (units[found] == u'\n') {
                out.AppendUniChars(units + lineStart, found - lineStart);
                out.AppendString(continuation);
                lineStart = found + 1;
                lastBreak = -1;
            } else {
                lastBreak = found;
            }
            pos = found + 1;
            continue;
        }
        const int32_t cut = lastBreak >= 0 ? lastBreak : found;
        out.AppendUniChars(units + lineStart, cut - lineStart + (units[cut] == u'.' ? 1 : 0));
        out.AppendString(continuation);
        lineStart = cut + 1;
        lastBreak = -1;
        // No break lies between the cut and the break just found: that one is weighed again
        // against the new line.
        pos = cut == found ? found + 1 : found;
    }
}

// The descriptions are written in the source with tabs for layout; the listing drops them.
VString WithoutTabs(const VString& text)
{
    VString stripped;
    const UniChar* units = text.GetCPointer();
    for (int32_t i = 0; i < text.GetLength(); ++i) {
        if (units[i] != u'\t')
            stripped.AppendUniChar(units[i]);
    }
    return stripped;
}

void AppendOptionLine(VString& out, UniChar shortName, const VString& longName, bool requiresValue,
                      const VString& description, bool colour)
{
    const bool hasShort = shortName != u' ' && shortName != 0;
    if (colour)
        out.AppendCString(kGreen);
    if (!hasShort) {
        AppendBlanks(out, 6);
    } else {
        out.AppendCString("  -");
        out.AppendUniChar(shortName);
        if (!longName.IsEmpty())
            out.AppendCString(", ");
        else if (requiresValue)
            out.AppendCString(" VALUE");
    }
    if (!longName.IsEmpty()) {
        out.AppendCString("--");
        out.AppendString(longName);
        if (requiresValue)
            out.AppendCString("=VALUE");
        const int32_t width = (requiresValue ? 15 : 9) + longName.GetLength();
        if (width > kDescriptionColumn) {
            out.AppendUniChar(u'\n');
            AppendBlanks(out, kDescriptionColumn);
        } else {
            AppendBlanks(out, kDescriptionColumn + 1 - width);
        }
    } else {
        AppendBlanks(out, requiresValue ? 14 : 20);
    }
    if (colour)
        out.AppendCString(kReset);
    if (description.GetLength() <= kDescriptionWidth) {
        out.AppendString(description);
    } else {
        VString continuation("\n");
        AppendBlanks(continuation, kDescriptionColumn);
        AppendWrapped(description, kDescriptionWidth, continuation, out);
    }
    out.AppendUniChar(u'\n');
}

} // namespace

size_t StOptionsInfos::LongNameHash::operator()(const VString& name) const
{
    uint32_t hash = 0;
    const UniChar* units = name.GetCPointer();
    for (int32_t i = 0; i < name.GetLength(); ++i)
        hash = hash * 65599 + units[i];
    return hash;
}

StOptionsInfos::StOptionsInfos(const std::vector<VString>& args)
    : fArgs(args), fRegistrationEnabled(args.size() >= 2)
{
}

StOptionsInfos::~StOptionsInfos()
{
    Clear();
}

void StOptionsInfos::RegisterOption(bool requiresValue, VOptionBase* option)
{
    if (option->HasShortName())
        fShortOptions[option->GetShortName()] = Entry(option, requiresValue);
    if (option->HasLongName())
        fLongOptions[option->GetLongName()] = Entry(option, requiresValue);
    fOptions.push_back(option);
}

void StOptionsInfos::AddParagraph(const VString& text)
{
    if (fParagraphsEnabled)
        fOptions.push_back(new VOptionBase(u' ', VString(), text, false));
}

void StOptionsInfos::SetArgumentHolder(VOptionBase* holder)
{
    delete fArgumentHolder;
    fArgumentHolder = holder;
}

void StOptionsInfos::Clear()
{
    SetArgumentHolder(nullptr);
    for (VOptionBase* option : fOptions)
        delete option;
    fOptions.clear();
    fShortOptions.clear();
    fLongOptions.clear();
}

const StOptionsInfos::Entry* StOptionsInfos::FindShort(UniChar name) const
{
    auto found = fShortOptions.find(name);
    return found == fShortOptions.end() ? nullptr : &found->second;
}

const StOptionsInfos::Entry* StOptionsInfos::FindLong(const VString& name) const
{
    auto found = fLongOptions.find(name);
    return found == fLongOptions.end() ? nullptr : &found->second;
}

void StOptionsInfos::BuildHelpUsage(const VString& programPath, bool colour, VString& out) const
{
    out.AppendCString("Usage: ");
    out.AppendString(programPath);
    out.AppendCString(" [OPTION]...");
    if (fArgumentHolder)
        out.AppendCString(" [FILE]...");
    out.AppendUniChar(u'\n');

    // A blank line separates the usage line from a first option, not from a first paragraph.
    if (!fOptions.empty() && !fOptions.front()->IsParagraph()) {
        const VOptionBase* firstShown = nullptr;
        for (const VOptionBase* option : fOptions) {
            if (!option->IsHidden()) {
                firstShown = option;
                break;
            }
        }
        if (firstShown && !firstShown->IsParagraph())
            out.AppendUniChar(u'\n');
    }

    for (const VOptionBase* option : fOptions) {
        if (option->IsHidden())
            continue;
        const VString description = WithoutTabs(option->GetDescription());
        if (!option->IsParagraph()) {
            AppendOptionLine(out, option->GetShortName(), option->GetLongName(), option->RequiresValue(),
                             description, colour);
            continue;
        }
        if (description.IsEmpty())
            continue;
        if (colour)
            out.AppendCString(kYellow);
        if (description.GetLength() < kParagraphWidth)
            out.AppendString(description);
        else
            AppendWrapped(description, kParagraphWidth, VString("\n"), out);
        if (colour)
            out.AppendCString(kReset);
        out.AppendUniChar(u'\n');
    }

    if (!FindLong(VString("help"))) {
        AppendOptionLine(out, FindShort(u'h') ? u' ' : u'h', VString("help"), false,
                         VString("Display the help and exit"), colour);
    }
}

void StOptionsInfos::HelpUsage(const VString& programPath) const
{
    VString text;
    BuildHelpUsage(programPath, XPosixCommandLine::IsColourTerminalOutput(), text);
    const std::string bytes = to_string(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

} // namespace nuvo::Private::CommandLineParser
