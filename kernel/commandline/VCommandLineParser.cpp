#include "kernel/commandline/VCommandLineParser.h"

#include <cstdio>
#include <string>

namespace nuvo {

namespace {

void WriteLine(std::FILE* stream, const VString& text)
{
    std::string bytes = to_string(text);
    bytes.push_back('\n');
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

} // namespace

VCommandLineParser::VCommandLineParser(const std::vector<VString>& args)
    : fArgs(args), fRegistrationEnabled(args.size() >= 2)
{
}

void VCommandLineParser::AddArguments(std::vector<VString>& target)
{
    if (fRegistrationEnabled)
        fArgumentHolder = &target;
}

int VCommandLineParser::Parse()
{
    if (fArgs.size() < 2)
        return 0;
    bool endOfOptions = false;
    for (size_t i = 1; i < fArgs.size(); ++i) {
        const VString& arg = fArgs[i];
        bool isOption = !endOfOptions && !arg.IsEmpty() && arg.GetUniChar(1) == u'-';
        if (isOption && arg.GetLength() == 2 && arg.GetUniChar(2) == u'-') {
            endOfOptions = true;
            continue;
        }
        if (isOption || !fArgumentHolder) {
            VString name = arg;
            if (isOption) {
                // The option's name without its dashes and without "=value".
                int32_t dashes = (arg.GetLength() >= 2 && arg.GetUniChar(2) == u'-') ? 2 : 1;
                name.SubString(dashes + 1, arg.GetLength() - dashes);
                if (int32_t equal = name.FindUniChar(u'='); equal > 0)
                    name.Truncate(equal - 1);
            }
            VString message("error: unknown option `");
            message.AppendString(name);
            message.AppendUniChar(u'`');
            return PrintArgumentError(message);
        }
        fArgumentHolder->push_back(arg);
    }
    return 0;
}

void VCommandLineParser::Print(const VString& text)
{
    WriteLine(stdout, text);
}

int VCommandLineParser::PrintArgumentError(const VString& text)
{
    WriteLine(stderr, text);
    return 1;
}

} // namespace nuvo
