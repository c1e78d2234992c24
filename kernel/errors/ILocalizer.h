#pragma once

#include <cstdint>

#include "kernel/base/VTypes.h"

namespace nuvo {

class VString;
class VValueBag;

// A language-and-region code of the international settings (1033 is US English; -2 is none).
using DialectCode = int32_t;

// Turns keys and error codes into localized texts. Implemented by the localization manager;
// the error model only calls LocalizeErrorMessage. Implementations say whether they are
// thread-safe; the registry of VErrorBase does not own them.
class ILocalizer {
public:
    virtual ~ILocalizer() = default;

    virtual DialectCode GetLocalizationLanguage() = 0;
    // True, with out filled, when a text exists for code.
    virtual bool LocalizeErrorMessage(VError code, VString& out) = 0;
    virtual bool LocalizeStringWithKey(const VString& key, VString& out) = 0;
    virtual bool LocalizeStringWithDotStringsKey(const VString& key, VString& out) = 0;
    // The attribute bag of a group (one more reference for the caller), or null.
    [[nodiscard]] virtual VValueBag* RetainGroupBag(const VString& groupName) = 0;
};

} // namespace nuvo
