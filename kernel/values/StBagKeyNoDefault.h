#pragma once

#include <cstddef>
#include <type_traits>

#include "kernel/text/VString.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace Private {

template <class NATIVE, class VALUE> NATIVE NativeOf(const VALUE& value)
{
    if constexpr (std::is_base_of_v<VString, VALUE>)
        return value;
    else
        return static_cast<NATIVE>(value.Get());
}

} // namespace Private

// A bag attribute name bound to the value class that stores it (VLong8 for a 64-bit code,
// VString for a text...), declared once as a static object:
//     static constexpr StBagKeyNoDefault<VError, VLong8> kErrorCode{"error_code"};
// Get converts whatever kind is stored into VALUE. Not thread-safe (the bag is not).
template <class NATIVE, class VALUE>
class StBagKeyNoDefault : public StPackedDictionaryKey {
public:
    template <size_t N> constexpr StBagKeyNoDefault(const char (&name)[N]) : StPackedDictionaryKey(name) {}

    // False (out unchanged) when the attribute is absent.
    bool Get(const VValueBag& bag, NATIVE& out) const
    {
        VALUE value;
        if (!bag.GetAttribute(*this, value))
            return false;
        out = Private::NativeOf<NATIVE>(value);
        return true;
    }
    bool Get(const VValueBag* bag, NATIVE& out) const { return bag && Get(*bag, out); }

    void Set(VValueBag& bag, const NATIVE& value) const { bag.SetAttribute(*this, VALUE(value)); }
    void Set(VValueBag* bag, const NATIVE& value) const { Set(*bag, value); }

    bool HasAttribute(const VValueBag& bag) const { return bag.AttributeExists(*this); }
};

} // namespace nuvo
