#include "kernel/text/RealText.h"

#include <cassert>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/text/VString.h"

namespace nuvo {

namespace {

// 2^53: below it every whole double is exact and fits a 64-bit integer.
constexpr double kExactIntegerLimit = 9007199254740992.0;

bool IsWholeBelowExactLimit(double value)
{
    return std::fabs(value) < kExactIntegerLimit && std::trunc(value) == value;
}

// "%.14G" with a period for the decimals. snprintf follows the global LC_NUMERIC, which the
// embedding application may have set to a locale with another separator (possibly several
// bytes long).
void FormatRealWithPeriod(double value, VString& out)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%.14G", value);
    const char* separator = std::localeconv()->decimal_point;
    if (separator != nullptr && separator[0] != '\0' && std::strcmp(separator, ".") != 0) {
        if (char* found = std::strstr(buffer, separator)) {
            *found = '.';
            size_t separatorLength = std::strlen(separator);
            if (separatorLength > 1)
                std::memmove(found + 1, found + separatorLength, std::strlen(found + separatorLength) + 1);
        }
    }
    out.FromCString(buffer);
}

locale_t CNumericLocale()
{
    // Created once and never freed: strtod_l may run on any task until the process ends.
    static const locale_t locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

double StrToRealC(const char* text, char** outEnd)
{
    assert(text != nullptr);
    locale_t locale = CNumericLocale();
    if (locale == static_cast<locale_t>(nullptr))
        return std::strtod(text, outEnd);   // only when the C library is out of memory
    return strtod_l(text, outEnd, locale);
}

void RealToXMLString(double value, VString& out)
{
    if (std::isnan(value))
        out.FromCString("NaN");
    else if (std::isinf(value))
        out.FromCString(value > 0 ? "INF" : "-INF");
    else if (IsWholeBelowExactLimit(value))
        out.FromLong8(static_cast<int64_t>(value));
    else
        FormatRealWithPeriod(value, out);
}

void RealToJSONString(double value, VString& out)
{
    if (std::isnan(value) || std::isinf(value))
        out.FromCString("null");
    else if (IsWholeBelowExactLimit(value))
        out.FromLong8(static_cast<int64_t>(value));
    else
        FormatRealWithPeriod(value, out);
}

bool RealFromXMLString(const VString& text, double& outValue)
{
    std::string bytes = to_string(text);
    if (bytes.empty() || bytes.size() > 254)
        return false;
    for (char& c : bytes) {
        if (c == ',')
            c = '.';
    }
    char* end = nullptr;
    double value = StrToRealC(bytes.c_str(), &end);
    if (end == bytes.c_str() || end != bytes.c_str() + bytes.size())
        return false;
    outValue = value;
    return true;
}

} // namespace nuvo
