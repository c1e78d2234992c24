#pragma once
// Text forms of real numbers shared by the value family, the XML layer and the JSON writer.

#include <cstddef>

namespace nuvo {

class VString;

// Whole numbers of magnitude below 2^53 as decimal integers ("0" for both zeros), NaN as "NaN",
// the infinities as "INF" and "-INF", anything else with "%.14G" and a period as the decimal
// separator whatever the process locale. Replaces the content of out.
void RealToXMLString(double value, VString& out);

// As the XML form, except that NaN and the infinities, which JSON cannot spell, give "null".
void RealToJSONString(double value, VString& out);

// Reads the XML form: every comma is taken as a period, and the whole text (at most 254 UTF-8
// bytes) must be one number as strtod reads it in the C locale ("NaN" and "INF" included).
// Returns false and leaves outValue alone otherwise.
[[nodiscard]] bool RealFromXMLString(const VString& text, double& outValue);

// strtod with the C locale's numeric rules (a period separates the decimals), whatever the
// process locale. The locale object is created once, on first use; thread-safe.
double StrToRealC(const char* text, char** outEnd);

} // namespace nuvo
