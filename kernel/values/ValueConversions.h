#pragma once
// Narrowing rules shared by the number values: integers saturate at the target's limits and
// reals are truncated toward zero (NaN gives 0), so that no conversion is undefined behaviour.

#include <cmath>
#include <cstdint>
#include <limits>

namespace nuvo::Private {

template <class T> constexpr T SaturateInteger(int64_t value)
{
    if (value < int64_t(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (value > int64_t(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return T(value);
}

template <class T> inline T RealToInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // Both limits are compared as doubles: max() of int64_t rounds up to 2^63, hence >=.
    if (value <= double(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (value >= double(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return T(value);
}

} // namespace nuvo::Private
