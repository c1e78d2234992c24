#include "kernel/time/VTime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "kernel/platform/XLinuxTime.h"
#include "kernel/text/VString.h"
#include "kernel/time/VDuration.h"
#include "kernel/values/VValueFactory.h"

namespace nuvo {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// The day count of 1970-01-01.
constexpr int64_t kUnixEpochDay = 2440587;
constexpr int32_t kMonthStart[13] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};
constexpr int32_t kMonthLength[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr const char* kWeekDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

struct Fields {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Gregorian date of a day count (the inverse of ComputeDayNumber), March-based.
void DateOfDay(int64_t dayNumber, int32_t& year, int32_t& month, int32_t& day)
{
    int64_t n = dayNumber - 1721119; // 0000-03-01
    int64_t era = FloorDiv(n, 146097);
    int64_t dayOfEra = n - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = int32_t(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int32_t(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = int32_t(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsValid(const Fields& f)
{
    return f.year >= 0 && f.year <= 65535 && f.month >= 1 && f.month <= 12 && f.day >= 1
        && f.day <= VTime::GetDaysInMonth(f.year, f.month) && f.hour >= 0 && f.hour <= 23 && f.minute >= 0
        && f.minute <= 59 && f.second >= 0 && f.second <= 59 && f.millisecond >= 0 && f.millisecond <= 999;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char buffer[255];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return std::string(buffer, length < 0 ? 0 : std::min<size_t>(size_t(length), sizeof(buffer) - 1));
}

// A cursor over ASCII text for the parsers.
struct Scanner {
    const char* p;
    const char* end;

    bool AtEnd() const { return p >= end; }
    bool Take(char c)
    {
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    // Exactly count digits.
    bool Digits(int count, int32_t& out)
    {
        int32_t value = 0;
        for (int i = 0; i < count; ++i, ++p) {
            if (p >= end || *p < '0' || *p > '9')
                return false;
            value = value * 10 + (*p - '0');
        }
        out = value;
        return true;
    }
};

const bool sRegistered = [] {
    VValueFactory::Register(ValueKind::Time, []() -> VValueSingle* { return new VTime; }, sizeof(uint64_t), nullptr);
    return true;
}();

} // namespace

VTime::VTime(VTimeInitParam init)
{
    if (init == eInitWithCurrentTime)
        FromSystemTime();
}

void VTime::Now(VTime& out)
{
    out.FromSystemTime();
}

void VTime::FromSystemTime()
{
    FromMilliseconds(XLinuxTime::GetUnixMilliseconds() + kUnixEpochDay * kMsPerDay);
}

void VTime::_SetNullTime()
{
    fYear = 0;
    fMonth = 0;
    fDay = 0;
    fMilliseconds = 0;
    SetNull(true);
}

void VTime::Clear()
{
    fYear = 0;
    fMonth = 0;
    fDay = 0;
    fMilliseconds = 0;
    SetNull(false);
}

bool VTime::IsLeapYear(int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t VTime::GetDaysInMonth(int32_t year, int32_t month)
{
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && !IsLeapYear(year) ? 28 : kMonthLength[month];
}

int32_t VTime::ComputeDayNumber(int32_t year, int32_t month, int32_t day)
{
    int64_t y = month <= 2 ? year - 1 : year;
    return int32_t(365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kMonthStart[month] + day + 1721118);
}

void VTime::FromUTCTime(int16_t year, int16_t month, int16_t day, int16_t hour, int16_t minute, int16_t second,
                        int16_t millisecond)
{
    Fields f{year, month, day, hour, minute, second, millisecond};
    if (year == 0 && month == 0 && day == 0) {
        Clear();
        fMilliseconds = uint32_t(hour * 3600000 + minute * 60000 + second * 1000 + millisecond);
        return;
    }
    if (!IsValid(f)) {
        _SetNullTime();
        return;
    }
    fYear = uint16_t(year);
    fMonth = uint8_t(month);
    fDay = uint8_t(day);
    fMilliseconds = uint32_t(hour * 3600000 + minute * 60000 + second * 1000 + millisecond);
    SetNull(false);
}

void VTime::FromLocalTime(int16_t year, int16_t month, int16_t day, int16_t hour, int16_t minute, int16_t second,
                          int16_t millisecond)
{
    Fields f{year, month, day, hour, minute, second, millisecond};
    int64_t unixSeconds = 0;
    if (!IsValid(f) || !XLinuxTime::LocalToUnixSeconds({year, month, day, hour, minute, second}, unixSeconds)) {
        _SetNullTime();
        return;
    }
    FromMilliseconds(unixSeconds * 1000 + millisecond + kUnixEpochDay * kMsPerDay);
}

void VTime::FromMilliseconds(int64_t milliseconds)
{
    if (milliseconds == -1) {
        _SetNullTime();
        return;
    }
    if (milliseconds == 0) {
        Clear();
        return;
    }
    int32_t year, month, day;
    DateOfDay(FloorDiv(milliseconds, kMsPerDay), year, month, day);
    if (year < 0 || year > 65535) {
        _SetNullTime();
        return;
    }
    fYear = uint16_t(year);
    fMonth = uint8_t(month);
    fDay = uint8_t(day);
    fMilliseconds = uint32_t(milliseconds - FloorDiv(milliseconds, kMsPerDay) * kMsPerDay);
    SetNull(false);
}

void VTime::FromUnixMilliseconds(int64_t milliseconds)
{
    FromMilliseconds(milliseconds + kUnixEpochDay * kMsPerDay);
}

int64_t VTime::GetUnixMilliseconds() const
{
    return GetMilliseconds() - kUnixEpochDay * kMsPerDay;
}

void VTime::FromStamp(uint64_t stamp)
{
    fYear = uint16_t(stamp >> 48);
    fMonth = uint8_t(stamp >> 40);
    fDay = uint8_t(stamp >> 32);
    fMilliseconds = uint32_t(stamp);
    SetNull(false);
}

uint64_t VTime::GetStamp() const
{
    return (uint64_t(fYear) << 48) | (uint64_t(fMonth) << 40) | (uint64_t(fDay) << 32) | fMilliseconds;
}

int64_t VTime::GetMilliseconds() const
{
    if (IsNull())
        return -1;
    if (fYear == 0 && fMonth == 0 && fDay == 0)
        return fMilliseconds;
    return int64_t(ComputeDayNumber(fYear, fMonth, fDay)) * kMsPerDay + fMilliseconds;
}

void VTime::AddMilliseconds(int64_t milliseconds)
{
    if (!IsNull())
        FromMilliseconds(GetMilliseconds() + milliseconds);
}

void VTime::AddMonths(int32_t months)
{
    if (IsNull() || fMonth == 0)
        return;
    int64_t index = int64_t(fYear) * 12 + (fMonth - 1) + months;
    int64_t year = FloorDiv(index, 12);
    if (year < 0 || year > 65535) {
        _SetNullTime();
        return;
    }
    fYear = uint16_t(year);
    fMonth = uint8_t(index - year * 12 + 1);
    fDay = uint8_t(std::min<int32_t>(fDay, GetDaysInMonth(fYear, fMonth)));
}

void VTime::Add(const VDuration& duration)
{
    AddMilliseconds(duration.ConvertToMilliseconds());
}

void VTime::Substract(const VDuration& duration)
{
    AddMilliseconds(-duration.ConvertToMilliseconds());
}

void VTime::Substract(const VTime& other, VDuration& out) const
{
    out.FromNbMilliseconds(GetMilliseconds() - other.GetMilliseconds());
}

void VTime::GetUTCTime(int16_t& year, int16_t& month, int16_t& day, int16_t& hour, int16_t& minute,
                       int16_t& second, int16_t& millisecond) const
{
    year = int16_t(fYear);
    month = fMonth;
    day = fDay;
    hour = int16_t(fMilliseconds / 3600000);
    minute = int16_t(fMilliseconds / 60000 % 60);
    second = int16_t(fMilliseconds / 1000 % 60);
    millisecond = int16_t(fMilliseconds % 1000);
}

void VTime::GetLocalTime(int16_t& year, int16_t& month, int16_t& day, int16_t& hour, int16_t& minute,
                         int16_t& second, int16_t& millisecond) const
{
    if (IsNull()) {
        year = month = day = hour = minute = second = millisecond = 0;
        return;
    }
    GetUTCTime(year, month, day, hour, minute, second, millisecond);
    if (fYear == 0 && fMonth == 0 && fDay == 0)
        return; // no date: no zone to apply
    int64_t unixMs = GetMilliseconds() - kUnixEpochDay * kMsPerDay;
    XCalendarFields local;
    if (!XLinuxTime::UnixSecondsToLocal(FloorDiv(unixMs, 1000), local))
        return;
    year = int16_t(local.year);
    month = int16_t(local.month);
    day = int16_t(local.day);
    hour = int16_t(local.hour);
    minute = int16_t(local.minute);
    second = int16_t(local.second);
}

int VTime::CompareTo(const VTime& other) const
{
    uint64_t a = GetStamp(), b = other.GetStamp();
    return a < b ? -1 : a > b ? 1 : 0;
}

#define NUVO_LOCAL_FIELD(Name, field)                                                                 \
    int16_t VTime::GetLocal##Name() const                                                             \
    {                                                                                                  \
        int16_t year, month, day, hour, minute, second, millisecond;                                   \
        GetLocalTime(year, month, day, hour, minute, second, millisecond);                             \
        return field;                                                                                  \
    }
NUVO_LOCAL_FIELD(Year, year)
NUVO_LOCAL_FIELD(Month, month)
NUVO_LOCAL_FIELD(Day, day)
NUVO_LOCAL_FIELD(Hour, hour)
NUVO_LOCAL_FIELD(Minute, minute)
NUVO_LOCAL_FIELD(Second, second)
NUVO_LOCAL_FIELD(Millisecond, millisecond)
#undef NUVO_LOCAL_FIELD

int32_t VTime::GetJulianDay() const
{
    return fMonth == 0 ? 0 : ComputeDayNumber(fYear, fMonth, fDay);
}

int32_t VTime::GetWeekDay() const
{
    return int32_t((int64_t(GetJulianDay()) + 2) % 7);
}

int32_t VTime::GetYearDay() const
{
    return fMonth == 0 ? 0 : GetJulianDay() - ComputeDayNumber(fYear, 1, 1) + 1;
}

void VTime::FormatByOS(VString& outDate, VString& outTime, bool inGMT) const
{
    outDate.Clear();
    outTime.Clear();
    if (IsNull())
        return;
    // The user's zone is the C library's offset at this instant: ICU caches its default zone
    // and does not read every TZ form the C library accepts.
    const int64_t unixMs = GetMilliseconds() - kUnixEpochDay * kMsPerDay;
    std::unique_ptr<icu::TimeZone> zone;
    if (inGMT)
        zone.reset(icu::TimeZone::createTimeZone("GMT"));
    else
        zone.reset(new icu::SimpleTimeZone(XLinuxTime::GetGMTOffset(FloorDiv(unixMs, 1000)) * 1000,
                                           icu::UnicodeString("local")));
    auto format = [&](icu::DateFormat* formatter, VString& out) {
        std::unique_ptr<icu::DateFormat> owned(formatter);
        if (!owned || !zone)
            return;
        owned->setTimeZone(*zone);
        icu::UnicodeString text;
        owned->format(double(unixMs), text);
        out = VString(reinterpret_cast<const UniChar*>(text.getBuffer()), text.length());
    };
    format(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, icu::Locale::getDefault()), outDate);
    format(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, icu::Locale::getDefault()), outTime);
}

void VTime::GetStringLocalTime(VString& out) const
{
    out.Clear();
    if (IsNull())
        return;
    int16_t y, mo, d, h, mi, s, ms;
    GetLocalTime(y, mo, d, h, mi, s, ms);
    out = VString(Printf("%04d-%02d-%02d %02d:%02d:%02d:%03d", y, mo, d, h, mi, s, ms).c_str());
}

void VTime::GetRfc3339String(VString& out, uint32_t options) const
{
    if (IsNull()) {
        out = "0000-00-00T00:00:00Z";
        return;
    }
    int16_t y, mo, d, h, mi, s, ms;
    if (options & kRfc3339UTC)
        GetUTCTime(y, mo, d, h, mi, s, ms);
    else
        GetLocalTime(y, mo, d, h, mi, s, ms);
    if (options & kRfc3339ZeroDate)
        y = mo = d = 0;
    const bool timeOnly = (options & kRfc3339TimeOnly) != 0;
    const bool dateOnly = (options & kRfc3339DateOnly) != 0;
    const bool noMs = (options & kRfc3339NoMilliseconds) != 0;
    std::string text;
    if (options & (kRfc3339UTC | kRfc3339LocalNoOffset)) {
        const char* zone = (options & kRfc3339UTC) ? "Z" : "";
        if (timeOnly)
            text = Printf("%02d:%02d:%02d%s", h, mi, s, zone);
        else if (dateOnly)
            text = Printf("%04d-%02d-%02d", y, mo, d);
        else if (noMs)
            text = Printf("%04d-%02d-%02dT%02d:%02d:%02d%s", y, mo, d, h, mi, s, zone);
        else
            text = Printf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", y, mo, d, h, mi, s, ms, zone);
    } else {
        int32_t offset = XLinuxTime::GetGMTOffset(XLinuxTime::GetUnixMilliseconds() / 1000);
        char sign = offset < 0 ? '-' : '+';
        long magnitude = std::labs(long(offset));
        long oh = magnitude / 3600, om = magnitude % 3600 / 60;
        if (timeOnly)
            text = Printf("%02d:%02d:%02d%c%02ld:%02ld", h, mi, s, sign, oh, om);
        else if (dateOnly)
            text = Printf("%04d-%02d-%02d%c%02ld:%02ld", y, mo, d, sign, oh, om);
        else
            text = Printf("%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", y, mo, d, h, mi, s, sign, oh, om);
    }
    out = VString(text.c_str());
}

// Date "YYYY-MM-DD", time "hh:mm:ss[.fraction]", or both joined by "T" (or a blank), then "Z",
// an offset "+hh:mm" / "+hhmm", or nothing for local time.
bool VTime::FromRfc3339String(const VString& text)
{
    const std::string utf8 = to_string(text);
    Scanner in{utf8.data(), utf8.data() + utf8.size()};
    Fields f;
    bool hasDate = false, hasTime = false;
    const char* start = in.p;
    if (in.Digits(4, f.year) && in.Take('-')) {
        if (!in.Digits(2, f.month) || !in.Take('-') || !in.Digits(2, f.day)) {
            _SetNullTime();
            return false;
        }
        hasDate = true;
        if (!in.Take('T') && !in.Take('t'))
            (void)in.Take(' ');
    } else {
        in.p = start;
    }
    const char* timeStart = in.p;
    if (in.Digits(2, f.hour)) {
        if (!in.Take(':') || !in.Digits(2, f.minute) || !in.Take(':') || !in.Digits(2, f.second)) {
            _SetNullTime();
            return false;
        }
        hasTime = true;
        if (in.Take('.') || in.Take(',')) {
            int digits = 0;
            for (; !in.AtEnd() && *in.p >= '0' && *in.p <= '9'; ++in.p, ++digits)
                if (digits < 3)
                    f.millisecond = f.millisecond * 10 + (*in.p - '0');
            if (digits == 0) {
                _SetNullTime();
                return false;
            }
            for (int i = digits; i < 3; ++i)
                f.millisecond *= 10;
        }
    } else {
        in.p = timeStart;
    }
    if (!hasDate && !hasTime) {
        _SetNullTime();
        return false;
    }
    enum { kLocal, kUTC, kOffset } zone = kLocal;
    int32_t offsetMinutes = 0;
    if (in.Take('Z') || in.Take('z')) {
        zone = kUTC;
    } else if (!in.AtEnd() && (*in.p == '+' || *in.p == '-')) {
        int sign = *in.p == '-' ? -1 : 1;
        ++in.p;
        int32_t oh = 0, om = 0;
        if (!in.Digits(2, oh) || (!in.Take(':') && in.AtEnd()) || !in.Digits(2, om)) {
            _SetNullTime();
            return false;
        }
        zone = kOffset;
        offsetMinutes = sign * (oh * 60 + om);
    }
    if (!in.AtEnd()) {
        _SetNullTime();
        return false;
    }
    if (!hasDate || (f.year == 0 && f.month == 0 && f.day == 0)) {
        // A time of day without a date is stored as such: no zone can apply to it.
        FromUTCTime(0, 0, 0, int16_t(f.hour), int16_t(f.minute), int16_t(f.second), int16_t(f.millisecond));
        if (f.hour > 23 || f.minute > 59 || f.second > 59)
            _SetNullTime();
        return !IsNull();
    }
    if (zone == kLocal) {
        FromLocalTime(int16_t(f.year), int16_t(f.month), int16_t(f.day), int16_t(f.hour), int16_t(f.minute),
                      int16_t(f.second), int16_t(f.millisecond));
        return !IsNull();
    }
    FromUTCTime(int16_t(f.year), int16_t(f.month), int16_t(f.day), int16_t(f.hour), int16_t(f.minute),
                int16_t(f.second), int16_t(f.millisecond));
    if (zone == kOffset && !IsNull())
        AddMinutes(-offsetMinutes);
    return !IsNull();
}

void VTime::GetRfc822String(VString& out) const
{
    int16_t y, mo, d, h, mi, s, ms;
    GetUTCTime(y, mo, d, h, mi, s, ms);
    if (IsNull() || mo < 1 || mo > 12) {
        out.Clear();
        return;
    }
    out = VString(Printf("%s, %02d %s %04d %02d:%02d:%02d GMT", kWeekDays[GetWeekDay()], d, kMonths[mo - 1], y, h,
                         mi, s).c_str());
}

// "[Www,] DD Mon YYYY hh:mm[:ss] [GMT|UT|UTC|Z|+hhmm|-hhmm]", tokens split at blank, comma and colon.
bool VTime::FromRfc822String(const VString& text)
{
    std::string utf8 = to_string(text);
    std::vector<std::string> tokens;
    std::string token;
    for (char c : utf8 + " ") {
        if (c == ' ' || c == ',' || c == ':' || c == '\t') {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
        } else {
            token.push_back(char(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    size_t i = 0;
    if (i < tokens.size() && !tokens[i].empty() && std::isalpha(static_cast<unsigned char>(tokens[i][0])))
        ++i; // the weekday is redundant
    auto number = [&](int32_t& out) {
        if (i >= tokens.size() || tokens[i].empty() || tokens[i].size() > 5
            || tokens[i].find_first_not_of("0123456789") != std::string::npos)
            return false;
        out = std::atoi(tokens[i++].c_str());
        return true;
    };
    Fields f;
    bool ok = number(f.day) && i < tokens.size();
    if (ok) {
        f.month = 0;
        for (int m = 0; m < 12; ++m) {
            std::string name = kMonths[m];
            name[0] = char(std::tolower(static_cast<unsigned char>(name[0])));
            if (tokens[i] == name)
                f.month = m + 1;
        }
        ++i;
        ok = f.month != 0 && number(f.year) && number(f.hour) && number(f.minute);
    }
    if (ok && i < tokens.size() && std::isdigit(static_cast<unsigned char>(tokens[i][0])))
        ok = number(f.second);
    int32_t offsetMinutes = 0;
    if (ok && i < tokens.size()) {
        const std::string& zone = tokens[i++];
        if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 5
            && zone.find_first_not_of("0123456789", 1) == std::string::npos) {
            int32_t value = std::atoi(zone.c_str() + 1);
            offsetMinutes = (zone[0] == '-' ? -1 : 1) * (value / 100 * 60 + value % 100);
        } else {
            ok = zone == "gmt" || zone == "ut" || zone == "utc" || zone == "z";
        }
    }
    ok = ok && i == tokens.size();
    if (ok && f.year < 100)
        f.year += f.year < 50 ? 2000 : 1900; // two-digit years of RFC 822
    if (!ok) {
        _SetNullTime();
        return false;
    }
    FromUTCTime(int16_t(f.year), int16_t(f.month), int16_t(f.day), int16_t(f.hour), int16_t(f.minute),
                int16_t(f.second), 0);
    if (!IsNull())
        AddMinutes(-offsetMinutes);
    return !IsNull();
}

void VTime::GetJSONString(VString& out, uint32_t options) const
{
    uint32_t rfcOptions = kRfc3339UTC;
    if ((options & kJSONTimeDateOnlyAtMidnight) && !IsNull() && fMilliseconds == 0)
        rfcOptions |= kRfc3339DateOnly;
    VString text;
    GetRfc3339String(text, rfcOptions);
    if (options & kJSONTimeWrapped) {
        out = "\"!!";
        out.AppendString(text);
        out.AppendCString("!!\"");
    } else {
        out = text;
    }
}

bool VTime::FromXMLString(const VString& text)
{
    VString inner(text);
    if (inner.BeginsWithRawString(VString("!!"))) {
        inner.Remove(1, 2);
        if (inner.EndsWithRawString(VString("!!")))
            inner.Truncate(inner.GetLength() - 2);
    }
    return FromRfc3339String(inner);
}

int32_t VTime::GetLong() const
{
    int64_t ms = GetMilliseconds();
    return ms > INT32_MAX ? INT32_MAX : ms < INT32_MIN ? INT32_MIN : int32_t(ms);
}

void VTime::FromValue(const VValueSingle& other)
{
    if (other.IsNull()) {
        _SetNullTime();
    } else if (other.GetValueKind() == ValueKind::Time) {
        *this = static_cast<const VTime&>(other);
    } else if (other.GetValueKind() == ValueKind::String) {
        VString text;
        other.GetString(text);
        FromString(text);
    } else {
        FromMilliseconds(other.GetLong8());
    }
}

void* VTime::WriteToPtr(void* data) const
{
    uint64_t stamp = GetStamp();
    std::memcpy(data, &stamp, sizeof(stamp));
    return static_cast<uint8_t*>(data) + sizeof(stamp);
}

const void* VTime::LoadFromPtr(const void* data)
{
    uint64_t stamp;
    std::memcpy(&stamp, data, sizeof(stamp));
    FromStamp(stamp);
    return static_cast<const uint8_t*>(data) + sizeof(stamp);
}

void VTime::DebugDump(VString& out) const
{
    VString text;
    GetRfc3339String(text, kRfc3339UTC);
    out.AppendString(text);
}

} // namespace nuvo
