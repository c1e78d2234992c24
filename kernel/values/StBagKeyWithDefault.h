#pragma once

#include <cstddef>

#include "kernel/values/StBagKeyNoDefault.h"

namespace nuvo {

// A typed bag attribute name with the value Get returns when the attribute is missing. DEFAULT
// is a type NATIVE can be built from (a const char* default for a VString key keeps the static
// key constant-initialised):
//     static constexpr StBagKeyWithDefault<int32_t, VLong> kLevel{"level", 4};
template <class NATIVE, class VALUE, class DEFAULT = NATIVE>
class StBagKeyWithDefault : public StBagKeyNoDefault<NATIVE, VALUE> {
public:
    template <size_t N>
    constexpr StBagKeyWithDefault(const char (&name)[N], DEFAULT defaultValue)
        : StBagKeyNoDefault<NATIVE, VALUE>(name), fDefault(defaultValue)
    {
    }

    using StBagKeyNoDefault<NATIVE, VALUE>::Get;

    NATIVE Get(const VValueBag& bag) const
    {
        NATIVE value = NATIVE(fDefault);
        StBagKeyNoDefault<NATIVE, VALUE>::Get(bag, value);
        return value;
    }
    NATIVE Get(const VValueBag* bag) const { return bag ? Get(*bag) : NATIVE(fDefault); }
    NATIVE GetDefault() const { return NATIVE(fDefault); }

private:
    DEFAULT fDefault;
};

} // namespace nuvo
