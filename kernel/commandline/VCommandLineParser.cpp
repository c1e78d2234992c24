#include "kernel/commandline/VCommandLineParser.h"

#include <cstdio>
#include <string>

#include "kernel/commandline/VArgOption.h"

namespace nuvo {

using Private::CommandLineParser::StOptionsInfos;
using Private::CommandLineParser::VArgOption;
using Private::CommandLineParser::VOptionBase;

namespace {

void WriteText(std::FILE* stream, const VString& text, bool withNewline)
{
    std::string bytes = to_string(text);
    if (withNewline)
        bytes.push_back('\n');
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

bool BeginsWithDash(const VString& arg)
{
    return !arg.IsEmpty() && arg.GetUniChar(1) == u'-';
}

VString Quoted(const char* before, const VString& name)
{
    VString message(before);
    message.AppendString(name);
    message.AppendUniChar(u'`');
    return message;
}

// The JSON string form without its quotes.
void AppendJSONEscaped(const VString& text, VString& out)
{
    VString escaped;
    if (text.GetJSONString(escaped, 0) == VE_OK)
        out.AppendString(escaped);
}

VString WithoutLineBreaksAndTabs(const VString& text)
{
    VString stripped;
    const UniChar* units = text.GetCPointer();
    for (int32_t i = 0; i < text.GetLength(); ++i) {
        if (units[i] != u'\n' && units[i] != u'\t')
            stripped.AppendUniChar(units[i]);
    }
    return stripped;
}

// One Parse call: the walk over the arguments with its cursor of consumed values.
class StParse {
public:
    StParse(VCommandLineParser& parser, const StOptionsInfos& infos)
        : fParser(parser), fInfos(infos), fArgs(infos.GetArgs())
    {
    }

    int Run();

private:
    int ParseLongOption(const VString& arg);
    int ParseShortOptions(const VString& arg);
    int GiveValue(const StOptionsInfos::Entry& entry, const VString& optionName);
    int Append(VOptionBase& option, VString value, const VString& optionName);
    // The index of the next free argument that can be an option's value; -1 when none is left.
    int FindValue();
    bool ReadStandardInput();

    VCommandLineParser& fParser;
    const StOptionsInfos& fInfos;
    const std::vector<VString>& fArgs;
    size_t fNextFree = 1;
    bool fEndOfOptions = false;
    bool fStandardInputRead = false;
    VString fStandardInput;
};

int StParse::Run()
{
    if (fArgs.size() < 2)
        return VCommandLineParser::kParseContinue;
    for (size_t i = 1; i < fArgs.size(); ++i) {
        const VString& arg = fArgs[i];
        if (!fEndOfOptions && BeginsWithDash(arg)) {
            if (arg.GetLength() >= 2 && arg.GetUniChar(2) == u'-') {
                if (arg.GetLength() == 2) {
                    fEndOfOptions = true;
                    continue;
                }
                if (fNextFree <= i)
                    fNextFree = i + 1;
                if (int result = ParseLongOption(arg); result != VCommandLineParser::kParseContinue)
                    return result;
                continue;
            }
            if (fNextFree <= i)
                fNextFree = i + 1;
            // Switches the desktop may add when it starts a program; their value goes with them.
            if (arg.EqualToUSASCIICString("-ApplePersistenceIgnoreState") ||
                arg.EqualToUSASCIICString("-NSDocumentRevisionsDebugMode")) {
                (void)FindValue();
                continue;
            }
            if (int result = ParseShortOptions(arg); result != VCommandLineParser::kParseContinue)
                return result;
            continue;
        }
        if (i < fNextFree)
            continue;
        fNextFree = i + 1;
        VOptionBase* holder = fInfos.GetArgumentHolder();
        if (!holder)
            return VCommandLineParser::PrintArgumentError(Quoted("error: unknown option `", arg));
        if (Append(*holder, arg, VString()) != 0)
            return VCommandLineParser::kParseFailed;
    }
    return VCommandLineParser::kParseContinue;
}

int StParse::ParseLongOption(const VString& arg)
{
    VString name(arg);
    name.SubString(3, arg.GetLength() - 2);
    if (int32_t equal = name.FindUniChar(u'='); equal > 0) {
        VString key;
        VString value;
        name.GetSubString(1, equal - 1, key);
        name.GetSubString(equal + 1, name.GetLength() - equal, value);
        const StOptionsInfos::Entry* entry = fInfos.FindLong(key);
        if (!entry && key.EqualToUSASCIICString("help"))
            return VCommandLineParser::PrintArgumentError(Quoted("error: invalid value for option  `", key));
        if (!entry)
            return VCommandLineParser::PrintArgumentError(Quoted("error: unknown option `", key));
        if (!entry->second) {
            VString message = Quoted("error: a value for option `", key);
            message.AppendCString(" is not required");
            return VCommandLineParser::PrintArgumentError(message);
        }
        return Append(*entry->first, value, name);
    }
    const StOptionsInfos::Entry* entry = fInfos.FindLong(name);
    if (!entry && name.EqualToUSASCIICString("help")) {
        fInfos.HelpUsage(fArgs[0]);
        return VCommandLineParser::kParseStopped;
    }
    if (!entry)
        return VCommandLineParser::PrintArgumentError(Quoted("error: unknown option `", name));
    return GiveValue(*entry, name);
}

int StParse::ParseShortOptions(const VString& arg)
{
    if (arg.GetLength() == 1)
        return VCommandLineParser::PrintArgumentError(Quoted("error: missing short option `", arg));
    // A value is never taken from the rest of the cluster: -ab is the options a and b.
    for (int32_t pos = 2; pos <= arg.GetLength(); ++pos) {
        const UniChar name = arg.GetUniChar(pos);
        const StOptionsInfos::Entry* entry = fInfos.FindShort(name);
        if (!entry && (name == u'h' || name == u'?')) {
            fInfos.HelpUsage(fArgs[0]);
            return VCommandLineParser::kParseStopped;
        }
        if (!entry)
            return VCommandLineParser::PrintArgumentError(Quoted("error: unknown option `", VString(name)));
        if (int result = GiveValue(*entry, VString(name)); result != VCommandLineParser::kParseContinue)
            return result;
    }
    return VCommandLineParser::kParseContinue;
}

int StParse::GiveValue(const StOptionsInfos::Entry& entry, const VString& optionName)
{
    if (!entry.second) {
        entry.first->SetFlag();
        return VCommandLineParser::kParseContinue;
    }
    const int index = FindValue();
    if (index < 0) {
        VString message("error: missing value for option ");
        entry.first->AppendFullName(message);
        return VCommandLineParser::PrintArgumentError(message);
    }
    return Append(*entry.first, fArgs[size_t(index)], optionName);
}

int StParse::Append(VOptionBase& option, VString value, const VString& optionName)
{
    if (fInfos.IsReadingStandardInput() && value.EqualToUSASCIICString("-")) {
        if (!fStandardInputRead && !ReadStandardInput())
            return VCommandLineParser::PrintArgumentError(Quoted("error: failed to read from stdin for option `", optionName));
        value = fStandardInput;
    }
    return option.AppendArgument(fParser, value) == 0 ? VCommandLineParser::kParseContinue
                                                       : VCommandLineParser::kParseFailed;
}

int StParse::FindValue()
{
    size_t j = fNextFree;
    if (j >= fArgs.size())
        return -1;
    // Options met on the way stay where they are; the main loop handles them in their turn.
    for (; j < fArgs.size(); ++j) {
        const VString& arg = fArgs[j];
        if (fEndOfOptions || !BeginsWithDash(arg)) {
            fNextFree = j + 1;
            return int(j);
        }
        if (arg.EqualToUSASCIICString("--")) {
            fEndOfOptions = true;
            if (j + 1 < fArgs.size()) {
                fNextFree = j + 2;
                return int(j + 1);
            }
            break;
        }
    }
    fNextFree = fArgs.size();
    return -1;
}

bool StParse::ReadStandardInput()
{
    if (!stdin)
        return false;
    std::string bytes;
    char chunk[1024];
    for (;;) {
        const size_t count = std::fread(chunk, 1, sizeof chunk, stdin);
        bytes.append(chunk, count);
        if (count < sizeof chunk)
            break;
    }
    if (std::ferror(stdin))
        return false;
    fStandardInput = VString(bytes.data(), bytes.size(), CharSet::UTF8);
    fStandardInputRead = true;
    return true;
}

} // namespace

VCommandLineParser::VCommandLineParser(const std::vector<VString>& args)
    : fInfos(args)
{
}

VCommandLineParser::~VCommandLineParser() = default;

void VCommandLineParser::AddOption(UniChar shortName, const VString& longName, bool& target,
                                   const VString& description, bool hidden)
{
    if (fInfos.IsRegistrationEnabled())
        fInfos.RegisterOption(false, new VArgOption<bool>(shortName, longName, target, description, false, hidden));
}

void VCommandLineParser::AddOption(UniChar shortName, const VString& longName, int& target,
                                   const VString& description, bool hidden)
{
    if (fInfos.IsRegistrationEnabled())
        fInfos.RegisterOption(true, new VArgOption<int>(shortName, longName, target, description, true, hidden));
}

void VCommandLineParser::AddOption(UniChar shortName, const VString& longName, VString& target,
                                   const VString& description, bool hidden)
{
    if (fInfos.IsRegistrationEnabled())
        fInfos.RegisterOption(true, new VArgOption<VString>(shortName, longName, target, description, true, hidden));
}

void VCommandLineParser::AddArguments(std::vector<VString>& target)
{
    if (fInfos.IsRegistrationEnabled())
        fInfos.SetArgumentHolder(new VArgOption<std::vector<VString>>(u' ', VString(), target, VString(), false));
}

void VCommandLineParser::AddParagraph(const VString& text)
{
    fInfos.AddParagraph(text);
}

void VCommandLineParser::Clear()
{
    fInfos.Clear();
}

int VCommandLineParser::Parse()
{
    return StParse(*this, fInfos).Run();
}

void VCommandLineParser::ExportAsManPage(VString* out) const
{
    out->AppendCString(".SH OPTIONS\n");
    bool optionWritten = false;
    for (const VOptionBase* option : fInfos.GetOptions()) {
        if (option->IsHidden())
            continue;
        if (option->IsParagraph()) {
            // Headings between options only: the leading paragraphs describe the program.
            if (optionWritten) {
                out->AppendCString(".SS \"");
                AppendJSONEscaped(WithoutLineBreaksAndTabs(option->GetDescription()), *out);
                out->AppendCString("\"\n");
            }
            continue;
        }
        out->AppendCString(".TP\n.BR ");
        if (option->HasShortName()) {
            out->AppendCString("\\-");
            out->AppendUniChar(option->GetShortName());
            if (option->HasLongName())
                out->AppendCString(" \", \" ");
            else if (option->RequiresValue())
                out->AppendCString(" \\fIVALUE\\fR");
        }
        if (option->HasLongName()) {
            out->AppendCString("\\-\\-");
            out->AppendString(option->GetLongName());
            if (option->RequiresValue())
                out->AppendCString("=\\fIVALUE\\fR");
        }
        out->AppendUniChar(u'\n');
        out->AppendString(WithoutLineBreaksAndTabs(option->GetDescription()));
        out->AppendUniChar(u'\n');
        optionWritten = true;
    }
}

void VCommandLineParser::ExportAsJSON(VString* out) const
{
    const std::vector<VString>& args = fInfos.GetArgs();
    out->Clear();
    out->AppendCString("{\n\t\"arguments\": {\n");
    out->AppendPrintf("\t\t\"count\": %u,\n", unsigned(args.size()));
    out->AppendCString("\t\t\"values\": [\n");
    for (size_t i = 0; i < args.size(); ++i) {
        out->AppendCString("\t\t\t\"");
        AppendJSONEscaped(args[i], *out);
        out->AppendCString(i + 1 < args.size() ? "\",\n" : "\"\n");
    }
    out->AppendCString("\t\t]\n\t},\n\t\"options\": {\n");
    const std::vector<VOptionBase*>& options = fInfos.GetOptions();
    out->AppendPrintf("\t\t\"count\": %u,\n", unsigned(options.size()));
    out->AppendCString("\t\t\"values\": [\n");
    for (size_t i = 0; i < options.size(); ++i) {
        const VOptionBase& option = *options[i];
        out->AppendCString("\t\t\t{\n");
        if (option.IsParagraph()) {
            out->AppendCString("\t\t\t\t\"paragraph\": \"");
            AppendJSONEscaped(option.GetDescription(), *out);
            out->AppendCString("\"\n");
        } else {
            if (option.HasShortName()) {
                out->AppendCString("\t\t\t\t\"shortName\": \"");
                out->AppendUniChar(option.GetShortName());
                out->AppendCString("\",\n");
            }
            if (option.HasLongName()) {
                out->AppendCString("\t\t\t\t\"longName\": \"");
                out->AppendString(option.GetLongName());
                out->AppendCString("\",\n");
            }
            if (option.RequiresValue())
                out->AppendCString("\t\t\t\t\"requiresValue\": true,\n");
            out->AppendCString("\t\t\t\t\"description\": \"");
            AppendJSONEscaped(option.GetDescription(), *out);
            out->AppendCString("\"\n");
        }
        out->AppendCString(i + 1 < options.size() ? "\t\t\t},\n" : "\t\t\t}\n");
    }
    out->AppendCString("\t\t]\n\t}\n}\n");
}

void VCommandLineParser::PrintAllArguments(bool toStandardError) const
{
    VString text;
    ExportAsJSON(&text);
    WriteText(toStandardError ? stderr : stdout, text, true);
}

void VCommandLineParser::Print(const VString& text)
{
    WriteText(stdout, text, true);
}

int VCommandLineParser::PrintArgumentError(const VString& text)
{
    WriteText(stderr, text, true);
    return 1;
}

bool VCommandLineParser::ValidateLongOptionName(const VString& name)
{
    const int32_t length = name.GetLength();
    if (length == 0)
        return true;
    if (length == 1 || name.GetUniChar(1) == u'-' || name.GetUniChar(length) == u'-')
        return false;
    for (int32_t i = 1; i <= length; ++i) {
        const UniChar unit = name.GetUniChar(i);
        if (!((unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9') || unit == u'-'))
            return false;
    }
    return true;
}

bool VCommandLineParser::ValidateShortOptionName(UniChar name)
{
    return name == u' ' || name == 0 || (name >= u'a' && name <= u'z') || (name >= u'A' && name <= u'Z') ||
           (name >= u'0' && name <= u'9');
}

} // namespace nuvo
