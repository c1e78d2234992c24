#include "kernel/commandline/VOptionBase.h"

#include "kernel/commandline/VCommandLineParser.h"

namespace nuvo::Private::CommandLineParser {

namespace {

// Longer values are cut in the invalid-value message so that one line stays readable.
constexpr int32_t kMaxShownValueLength = 80;

} // namespace

VOptionBase::VOptionBase(UniChar shortName, const VString& longName, const VString& description,
                         bool requiresValue, bool hidden)
    : fShortName(shortName), fLongName(longName), fDescription(description), fRequiresValue(requiresValue),
      fHidden(hidden)
{
}

int VOptionBase::AppendArgument(VCommandLineParser&, const VString&)
{
    return 1;
}

bool VOptionBase::AppendFullName(VString& out) const
{
    if (!HasShortName() && !HasLongName())
        return false;
    if (HasShortName()) {
        out.AppendUniChar(u'-');
        out.AppendUniChar(fShortName);
    }
    if (HasLongName()) {
        if (HasShortName())
            out.AppendCString(", ");
        out.AppendCString("--");
        out.AppendString(fLongName);
    }
    return true;
}

void VOptionBase::PrintErrorWhenAppendingInvalidValue(const VString& reason, VString value) const
{
    VString message("invalid value for argument '");
    if (!AppendFullName(message))
        message.AppendCString("<anonymous>");
    message.AppendCString("' got ");
    if (value.IsEmpty()) {
        message.AppendCString("empty value ");
    } else {
        message.AppendUniChar(u'"');
        if (value.GetLength() > kMaxShownValueLength) {
            value.Truncate(kMaxShownValueLength);
            message.AppendString(value);
            message.AppendCString("...\" ");
        } else {
            message.AppendString(value);
            message.AppendCString("\" ");
        }
    }
    message.AppendString(reason);
    VCommandLineParser::PrintArgumentError(message);
}

} // namespace nuvo::Private::CommandLineParser
