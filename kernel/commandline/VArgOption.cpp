#include "kernel/commandline/VArgOption.h"

#include "kernel/commandline/Argument.h"

namespace nuvo::Private::CommandLineParser {

using Extension::CommandLineParser::Argument;

template <> int VArgOption<bool>::AppendArgument(VCommandLineParser& parser, const VString& value)
{
    if (Argument<bool>::Append(parser, *fTarget, value))
        return 0;
    PrintErrorWhenAppendingInvalidValue(VString("expected 0, 1, true or false"), value);
    return 1;
}

template <> void VArgOption<bool>::SetFlag()
{
    *fTarget = true;
}

template <> int VArgOption<int>::AppendArgument(VCommandLineParser& parser, const VString& value)
{
    if (Argument<int>::Append(parser, *fTarget, value))
        return 0;
    PrintErrorWhenAppendingInvalidValue(VString("expected a signed integral"), value);
    return 1;
}

template <> void VArgOption<int>::SetFlag()
{
    *fTarget = 1;
}

template <> int VArgOption<VString>::AppendArgument(VCommandLineParser&, const VString& value)
{
    *fTarget = value;
    return 0;
}

template <> void VArgOption<VString>::SetFlag()
{
    *fTarget = "1";
}

template <> int VArgOption<std::vector<VString>>::AppendArgument(VCommandLineParser& parser, const VString& value)
{
    (void)Argument<std::vector<VString>>::Append(parser, *fTarget, value);
    return 0;
}

template <> void VArgOption<std::vector<VString>>::SetFlag()
{
    fTarget->resize(1);
    fTarget->front().Clear();
}

} // namespace nuvo::Private::CommandLineParser
