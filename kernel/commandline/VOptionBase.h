#pragma once

#include "kernel/base/VTypes.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VCommandLineParser;

namespace Private::CommandLineParser {

// One registered option, or one paragraph of help text (blank short name, no long name, the
// text in the description). Owned by the parser's StOptionsInfos. AppendArgument receives a
// value given on the command line (0: accepted, 1: rejected, the message already printed);
// SetFlag is called for an option given without a value.
class VOptionBase {
public:
    VOptionBase(UniChar shortName, const VString& longName, const VString& description, bool requiresValue,
                bool hidden = false);
    virtual ~VOptionBase() = default;
    VOptionBase(const VOptionBase&) = delete;
    VOptionBase& operator=(const VOptionBase&) = delete;

    [[nodiscard]] virtual int AppendArgument(VCommandLineParser& parser, const VString& value);
    virtual void SetFlag() {}

    UniChar GetShortName() const { return fShortName; }
    const VString& GetLongName() const { return fLongName; }
    const VString& GetDescription() const { return fDescription; }
    bool RequiresValue() const { return fRequiresValue; }
    bool IsHidden() const { return fHidden; }

    bool HasShortName() const { return fShortName != u' ' && fShortName != 0; }
    bool HasLongName() const { return !fLongName.IsEmpty(); }
    // A paragraph: blank short name and no long name (a short name 0 still makes an option).
    bool IsParagraph() const { return fShortName == u' ' && fLongName.IsEmpty(); }

    // Appends "-x", "--name" or "-x, --name"; false (nothing appended) without any name.
    bool AppendFullName(VString& out) const;

    // Prints "invalid value for argument '<name>' got <value> <reason>" on standard error; values
    // longer than 80 characters are cut.
    void PrintErrorWhenAppendingInvalidValue(const VString& reason, VString value) const;

private:
    UniChar fShortName;
    VString fLongName;
    VString fDescription;
    bool fRequiresValue;
    bool fHidden;
};

} // namespace Private::CommandLineParser
} // namespace nuvo
