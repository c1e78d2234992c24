#pragma once

#include <vector>

#include "kernel/commandline/VOptionBase.h"

namespace nuvo::Private::CommandLineParser {

// An option bound to the caller's variable (not owned; it must outlive the parse). Defined for
// bool and int (values converted by Argument<T>, rejections printed), VString (any value) and
// std::vector<VString> (each value appended; the holder of the plain arguments).
template <class T> class VArgOption : public VOptionBase {
public:
    VArgOption(UniChar shortName, const VString& longName, T& target, const VString& description,
               bool requiresValue, bool hidden = false)
        : VOptionBase(shortName, longName, description, requiresValue, hidden), fTarget(&target)
    {
    }

    [[nodiscard]] int AppendArgument(VCommandLineParser& parser, const VString& value) override;
    void SetFlag() override;

private:
    T* fTarget;
};

template <> int VArgOption<bool>::AppendArgument(VCommandLineParser& parser, const VString& value);
template <> void VArgOption<bool>::SetFlag();
template <> int VArgOption<int>::AppendArgument(VCommandLineParser& parser, const VString& value);
template <> void VArgOption<int>::SetFlag();
template <> int VArgOption<VString>::AppendArgument(VCommandLineParser& parser, const VString& value);
template <> void VArgOption<VString>::SetFlag();
template <> int VArgOption<std::vector<VString>>::AppendArgument(VCommandLineParser& parser, const VString& value);
template <> void VArgOption<std::vector<VString>>::SetFlag();

} // namespace nuvo::Private::CommandLineParser
