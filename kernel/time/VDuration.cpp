#include "kernel/time/VDuration.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/text/VString.h"
#include "kernel/values/VValueFactory.h"

namespace nuvo {

namespace {

constexpr int64_t kMsPerDay = 86400000;

const bool sRegistered = [] {
    VValueFactory::Register(ValueKind::Duration, []() -> VValueSingle* { return new VDuration; }, sizeof(int64_t),
                            nullptr);
    return true;
}();

} // namespace

void VDuration::SetDuration(int64_t days, int64_t hours, int64_t minutes, int64_t seconds, int64_t milliseconds)
{
    FromNbMilliseconds(days * kMsPerDay + hours * 3600000 + minutes * 60000 + seconds * 1000 + milliseconds);
}

int64_t VDuration::GetDay() const
{
    return fMilliseconds / kMsPerDay;
}

int32_t VDuration::GetHour() const
{
    return int32_t(fMilliseconds % kMsPerDay / 3600000);
}

int32_t VDuration::GetMinute() const
{
    return int32_t(fMilliseconds % 3600000 / 60000);
}

int32_t VDuration::GetSecond() const
{
    return int32_t(fMilliseconds % 60000 / 1000);
}

int32_t VDuration::GetMillisecond() const
{
    return int32_t(fMilliseconds % 1000);
}

void VDuration::GetDuration(int64_t& days, int32_t& hours, int32_t& minutes, int32_t& seconds,
                            int32_t& milliseconds) const
{
    days = GetDay();
    hours = GetHour();
    minutes = GetMinute();
    seconds = GetSecond();
    milliseconds = GetMillisecond();
}

int VDuration::CompareTo(const VDuration& other) const
{
    return fMilliseconds < other.fMilliseconds ? -1 : fMilliseconds > other.fMilliseconds ? 1 : 0;
}

void VDuration::GetXMLString(VString& out, uint32_t options) const
{
    char buffer[255];
    if (!(options & kDurationXMLISO)) {
        std::snprintf(buffer, sizeof(buffer), "%lld", static_cast<long long>(ConvertToSeconds()));
        out = buffer;
        return;
    }
    // A negative span is written as the negated form of its magnitude.
    int64_t magnitude = fMilliseconds < 0 ? -fMilliseconds : fMilliseconds;
    VDuration positive(magnitude);
    int64_t days;
    int32_t hours, minutes, seconds, milliseconds;
    positive.GetDuration(days, hours, minutes, seconds, milliseconds);
    // The single-precision sum is part of the text's established form.
    const float fractional = float(seconds) + float(milliseconds) / 1000.0f;
    const char* sign = fMilliseconds < 0 ? "-" : "";
    if (days == 0 && milliseconds == 0)
        std::snprintf(buffer, sizeof(buffer), "%sPT%dH%dM%dS", sign, hours, minutes, seconds);
    else if (days == 0)
        std::snprintf(buffer, sizeof(buffer), "%sPT%dH%dM%.14fS", sign, hours, minutes, double(fractional));
    else if (milliseconds == 0)
        std::snprintf(buffer, sizeof(buffer), "%sP%lldDT%dH%dM%dS", sign, static_cast<long long>(days), hours, minutes,
                      seconds);
    else
        std::snprintf(buffer, sizeof(buffer), "%sP%lldDT%dH%dM%.14fS", sign, static_cast<long long>(days), hours,
                      minutes, double(fractional));
    out = buffer;
}

bool VDuration::FromXMLString(const VString& text)
{
    const std::string utf8 = to_string(text);
    const char* p = utf8.c_str();
    bool negative = false;
    if (*p == '-' && p[1] == 'P') {
        negative = true;
        ++p;
    }
    if (*p != 'P') {
        char* end = nullptr;
        double seconds = std::strtod(p, &end);
        if (end == p || *end != '\0' || !std::isfinite(seconds)) {
            fMilliseconds = 0;
            SetNull(true);
            return false;
        }
        FromNbMilliseconds(int64_t(seconds) * 1000);
        return true;
    }
    ++p;
    double days = 0, hours = 0, minutes = 0, seconds = 0;
    bool inTime = false, any = false;
    while (*p) {
        if (*p == 'T') {
            inTime = true;
            ++p;
            continue;
        }
        char* end = nullptr;
        double value = std::strtod(p, &end);
        if (end == p || *end == '\0')
            break;
        any = true;
        char designator = *end;
        p = end + 1;
        if (!inTime && designator == 'Y')
            days += value * 360;
        else if (!inTime && designator == 'M')
            days += value * 30;
        else if (!inTime && designator == 'W')
            days += value * 7;
        else if (!inTime && designator == 'D')
            days += value;
        else if (inTime && designator == 'H')
            hours += value;
        else if (inTime && designator == 'M')
            minutes += value;
        else if (inTime && designator == 'S')
            seconds += value;
        else {
            any = false;
            break;
        }
    }
    if (!any || *p != '\0') {
        fMilliseconds = 0;
        SetNull(true);
        return false;
    }
    double whole = std::floor(seconds);
    // Tolerance for fractions such as .3 that binary floating point stores a hair low.
    int64_t fraction = int64_t((seconds - whole) * 1000 + 1e-6);
    int64_t total = int64_t(days) * kMsPerDay + int64_t(hours) * 3600000 + int64_t(minutes) * 60000
        + int64_t(whole) * 1000 + fraction;
    FromNbMilliseconds(negative ? -total : total);
    return true;
}

void VDuration::GetString(VString& out) const
{
    if (IsNull()) {
        out.Clear();
        return;
    }
    out = ToString(static_cast<long long>(fMilliseconds));
}

void VDuration::FromString(const VString& text)
{
    const std::string utf8 = to_string(text);
    char* end = nullptr;
    long long value = std::strtoll(utf8.c_str(), &end, 10);
    if (end == utf8.c_str()) {
        fMilliseconds = 0;
        SetNull(true);
        return;
    }
    FromNbMilliseconds(value);
}

int32_t VDuration::GetLong() const
{
    return fMilliseconds > INT32_MAX ? INT32_MAX : fMilliseconds < INT32_MIN ? INT32_MIN : int32_t(fMilliseconds);
}

void VDuration::FromReal(double value)
{
    FromNbMilliseconds(std::isfinite(value) ? int64_t(value) : 0);
}

void VDuration::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        fMilliseconds = 0;
        SetNull(true);
    } else if (other.GetValueKind() == ValueKind::String) {
        VString text;
        other.GetString(text);
        FromString(text);
    } else {
        FromNbMilliseconds(other.GetLong8());
    }
}

void* VDuration::WriteToPtr(void* data) const
{
    std::memcpy(data, &fMilliseconds, sizeof(fMilliseconds));
    return static_cast<uint8_t*>(data) + sizeof(fMilliseconds);
}

const void* VDuration::LoadFromPtr(const void* data)
{
    int64_t value;
    std::memcpy(&value, data, sizeof(value));
    FromNbMilliseconds(value);
    return static_cast<const uint8_t*>(data) + sizeof(value);
}

void VDuration::DebugDump(VString& out) const
{
    VString text;
    GetXMLString(text, kDurationXMLISO);
    out.AppendString(text);
}

} // namespace nuvo
