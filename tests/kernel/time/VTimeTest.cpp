#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"
#include "kernel/time/VDuration.h"
#include "kernel/time/VTime.h"
#include "kernel/values/VValueBag.h"
#include "tests/support/StEnvVar.h"

namespace nuvo {
namespace {

using namespace test;

struct Civil {
    int16_t y, mo, d, h, mi, s, ms;
};

std::string Utc(const VTime& time)
{
    if (time.IsNull())
        return "null";
    VString text;
    time.GetRfc3339String(text, kRfc3339UTC);
    return to_string(text);
}

VTime UtcTime(Civil c)
{
    VTime time;
    time.FromUTCTime(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    return time;
}

std::string Local(const VTime& time)
{
    Civil c{};
    time.GetLocalTime(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    char text[80];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms);
    return text;
}

TEST(VTime, ValidatesCalendarFields)
{
    struct Row {
        const char* name;
        Civil fields;
        const char* expected; // UTC text, or "null"
    };
    const Row rows[] = {
        {"29 Feb of a common year", {2023, 2, 29, 0, 0, 0, 0}, "null"},
        {"29 Feb of a leap year", {2024, 2, 29, 0, 0, 0, 0}, "2024-02-29T00:00:00.000Z"},
        {"29 Feb of a 400th year", {2000, 2, 29, 0, 0, 0, 0}, "2000-02-29T00:00:00.000Z"},
        {"29 Feb of a 100th year", {1900, 2, 29, 0, 0, 0, 0}, "null"},
        {"31 April", {2023, 4, 31, 0, 0, 0, 0}, "null"},
        {"last instant of a year", {9999, 12, 31, 23, 59, 59, 999}, "9999-12-31T23:59:59.999Z"},
        {"Gregorian start", {1582, 10, 15, 0, 0, 0, 0}, "1582-10-15T00:00:00.000Z"},
        {"month 13", {2023, 13, 1, 0, 0, 0, 0}, "null"},
        {"month 0 with a day", {2023, 0, 1, 0, 0, 0, 0}, "null"},
        {"day 0", {2023, 1, 0, 0, 0, 0, 0}, "null"},
        {"hour 24", {2023, 1, 1, 24, 0, 0, 0}, "null"},
        {"minute 60", {2023, 1, 1, 0, 60, 0, 0}, "null"},
        {"second 60", {2023, 1, 1, 0, 0, 60, 0}, "null"},
        {"millisecond 1000", {2023, 1, 1, 0, 0, 0, 1000}, "null"},
        {"negative year", {-1, 1, 1, 0, 0, 0, 0}, "null"},
        {"zero date keeps its time of day", {0, 0, 0, 1, 2, 3, 4}, "0000-00-00T01:02:03.004Z"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Utc(UtcTime(row.fields)), row.expected);
    }
}

TEST(VTime, DayCountsAndMillisecondsRoundTrip)
{
    struct Row {
        const char* name;
        Civil fields;
        int64_t milliseconds;
        int32_t weekDay, yearDay;
    };
    const Row rows[] = {
        {"2000-01-01", {2000, 1, 1, 0, 0, 0, 0}, 211813401600000, 6, 1},
        {"1970-01-01", {1970, 1, 1, 0, 0, 0, 0}, 210866716800000, 4, 1},
        {"leap day noon", {2024, 2, 29, 12, 0, 0, 1}, 212575924800001, 4, 60},
        {"end of a leap year", {2024, 12, 31, 23, 59, 59, 999}, 212602406399999, 2, 366},
        {"1 March of a 100th year", {2100, 3, 1, 0, 0, 0, 0}, 214974259200000, 1, 60},
        {"start of year 0's March", {0, 3, 1, 0, 0, 0, 0}, 148704681600000, 3, 61},
        {"last instant", {9999, 12, 31, 23, 59, 59, 999}, 464269017599999, 5, 365},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VTime time = UtcTime(row.fields);
        EXPECT_EQ(time.GetMilliseconds(), row.milliseconds);
        EXPECT_EQ(time.GetWeekDay(), row.weekDay);
        EXPECT_EQ(time.GetYearDay(), row.yearDay);
        VTime back;
        back.FromMilliseconds(row.milliseconds);
        EXPECT_EQ(Utc(back), Utc(time));
        VTime fromStamp;
        fromStamp.FromStamp(time.GetStamp());
        EXPECT_EQ(fromStamp, time);
    }
    EXPECT_EQ(UtcTime({2000, 1, 1, 0, 0, 0, 0}).GetJulianDay(), 2451544);

    VTime zero(eInitWithZero), null;
    null.SetNull(true);
    EXPECT_EQ(zero.GetMilliseconds(), 0);
    EXPECT_LT(zero, UtcTime({0, 3, 1, 0, 0, 0, 0})) << "the zero time is lower than every date";
    EXPECT_EQ(null.GetMilliseconds(), -1);
    VTime fromCount;
    fromCount.FromMilliseconds(-1);
    EXPECT_TRUE(fromCount.IsNull());
    fromCount.FromMilliseconds(0);
    EXPECT_FALSE(fromCount.IsNull());
    EXPECT_EQ(fromCount, zero);

    VDuration difference;
    UtcTime({2000, 1, 2, 0, 0, 0, 5}).Substract(UtcTime({2000, 1, 1, 0, 0, 0, 0}), difference);
    EXPECT_EQ(difference.ConvertToMilliseconds(), 86400005);
    null.Substract(zero, difference);
    EXPECT_EQ(difference.ConvertToMilliseconds(), -1);
}

TEST(VTime, CalendarArithmetic)
{
    struct Row {
        const char* name;
        Civil start;
        int32_t months;
        int64_t days;
        const char* expected;
    };
    const Row rows[] = {
        {"month end clamps to a leap February", {2024, 1, 31, 10, 0, 0, 0}, 1, 0, "2024-02-29T10:00:00.000Z"},
        {"13 months to a common February", {2024, 1, 31, 0, 0, 0, 0}, 13, 0, "2025-02-28T00:00:00.000Z"},
        {"back across a year", {2024, 1, 15, 0, 0, 0, 0}, -2, 0, "2023-11-15T00:00:00.000Z"},
        {"day before 1 March 2000", {2000, 3, 1, 0, 0, 0, 0}, 0, -1, "2000-02-29T00:00:00.000Z"},
        {"day after 28 Feb 1900", {1900, 2, 28, 0, 0, 0, 0}, 0, 1, "1900-03-01T00:00:00.000Z"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VTime time = UtcTime(row.start);
        time.AddMonths(row.months);
        time.AddDays(row.days);
        EXPECT_EQ(Utc(time), row.expected);
    }
    VTime time = UtcTime({2026, 12, 31, 23, 59, 59, 999});
    time.Add(VDuration(1));
    EXPECT_EQ(Utc(time), "2027-01-01T00:00:00.000Z");
}

TEST(VTime, TextForms)
{
    StEnvVar tz("TZ", "XYZ+3:30"); // no daylight saving: the offset is the same all year
    const VTime time = UtcTime({2026, 12, 4, 9, 5, 7, 42});
    VTime null;
    null.SetNull(true);
    struct Row {
        const char* name;
        const VTime& time;
        uint32_t options;
        const char* expected;
    };
    const Row rows[] = {
        {"UTC", time, 1, "2026-12-04T09:05:07.042Z"},
        {"UTC, no milliseconds", time, 1 + 32, "2026-12-04T09:05:07Z"},
        {"UTC date", time, 1 + 8, "2026-12-04"},
        {"UTC time", time, 1 + 4, "09:05:07Z"},
        {"UTC, zero date", time, 1 + 16, "0000-00-00T09:05:07.042Z"},
        {"local without offset", time, 2, "2026-12-04T05:35:07.042"},
        {"local without offset, no milliseconds", time, 2 + 32, "2026-12-04T05:35:07"},
        {"local time without offset", time, 2 + 4, "05:35:07"},
        {"local with offset", time, 0, "2026-12-04T05:35:07-03:30"},
        {"local date with offset", time, 8, "2026-12-04-03:30"},
        {"local time with offset", time, 4, "05:35:07-03:30"},
        {"null", null, 2, "0000-00-00T00:00:00Z"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString text;
        row.time.GetRfc3339String(text, row.options);
        EXPECT_EQ(to_string(text), row.expected);
        if (row.options & (kRfc3339DateOnly | kRfc3339TimeOnly | kRfc3339ZeroDate) || row.time.IsNull())
            continue;
        VTime back;
        ASSERT_TRUE(back.FromRfc3339String(text));
        VTime expected = row.time;
        if (row.options & kRfc3339NoMilliseconds || !(row.options & (kRfc3339UTC | kRfc3339LocalNoOffset)))
            expected.AddMilliseconds(-42);
        EXPECT_EQ(Utc(back), Utc(expected)) << "round trip";
    }

    VString text;
    time.GetStringLocalTime(text);
    EXPECT_EQ(to_string(text), "2026-12-04 05:35:07:042");
    null.GetStringLocalTime(text);
    EXPECT_TRUE(text.IsEmpty());

    time.GetRfc822String(text);
    EXPECT_EQ(to_string(text), "Fri, 04 Dec 2026 09:05:07 GMT");
    UtcTime({2000, 1, 1, 0, 0, 0, 0}).GetRfc822String(text);
    EXPECT_EQ(to_string(text), "Sat, 01 Jan 2000 00:00:00 GMT");

    UtcTime({2026, 12, 4, 0, 0, 0, 0}).GetJSONString(text, kJSONTimeDateOnlyAtMidnight);
    EXPECT_EQ(to_string(text), "2026-12-04");
    time.GetJSONString(text, kJSONTimeDateOnlyAtMidnight | kJSONTimeWrapped);
    EXPECT_EQ(to_string(text), "\"!!2026-12-04T09:05:07.042Z!!\"");
}

TEST(VTime, ParsesRfc3339And822)
{
    StEnvVar tz("TZ", "UTC0");
    struct Row {
        const char* name;
        bool rfc822;
        const char* text;
        const char* expected; // UTC text or "null"
    };
    const Row rows[] = {
        {"UTC", false, "2026-12-04T09:05:07.042Z", "2026-12-04T09:05:07.042Z"},
        {"offset and short fraction", false, "2026-12-04T10:05:07.5+01:00", "2026-12-04T09:05:07.500Z"},
        {"long fraction truncated", false, "2026-12-04T09:05:07.123999Z", "2026-12-04T09:05:07.123Z"},
        {"date alone is local midnight", false, "2026-12-04", "2026-12-04T00:00:00.000Z"},
        {"marked", false, "!!2026-12-04T09:05:07Z!!", "2026-12-04T09:05:07.000Z"},
        {"month 13", false, "2026-13-01T00:00:00Z", "null"},
        {"30 February", false, "2026-02-30T00:00:00Z", "null"},
        {"hour 25", false, "2026-12-04T25:00:00Z", "null"},
        {"no seconds", false, "2026-12-04T09:05Z", "null"},
        {"trailing text", false, "2026-12-04T09:05:07Zx", "null"},
        {"words", false, "yesterday", "null"},
        {"RFC 822", true, "Sat, 01 Jan 2000 00:00:00 GMT", "2000-01-01T00:00:00.000Z"},
        {"RFC 822 lower case, no weekday", true, "01 jan 2000 00:00:00 gmt", "2000-01-01T00:00:00.000Z"},
        {"RFC 822 with offset", true, "Thu, 01 Jan 1970 00:00:00 +0100", "1969-12-31T23:00:00.000Z"},
        {"RFC 822 bad month", true, "Sat, 01 Foo 2000 00:00:00 GMT", "null"},
        {"RFC 822 bad day", true, "Mon, 31 Feb 2000 00:00:00 GMT", "null"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VTime time;
        bool parsed = row.rfc822 ? time.FromRfc822String(VString(row.text)) : time.FromXMLString(VString(row.text));
        EXPECT_EQ(parsed, std::string(row.expected) != "null");
        EXPECT_EQ(Utc(time), row.expected);
    }
}

TEST(VTime, LocalTimeFollowsDaylightSavingChanges)
{
    // Central European rules written out, so that no zone database is needed.
    StEnvVar tz("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    struct Row {
        const char* name;
        Civil utc;
        const char* local;
    };
    const Row rows[] = {
        {"before the spring change", {2026, 3, 29, 0, 59, 59, 999}, "2026-03-29 01:59:59.999"},
        {"at the spring change", {2026, 3, 29, 1, 0, 0, 0}, "2026-03-29 03:00:00.000"},
        {"before the autumn change", {2026, 10, 25, 0, 59, 59, 0}, "2026-10-25 02:59:59.000"},
        {"at the autumn change", {2026, 10, 25, 1, 0, 0, 0}, "2026-10-25 02:00:00.000"},
        {"winter", {2026, 12, 4, 9, 5, 7, 42}, "2026-12-04 10:05:07.042"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Local(UtcTime(row.utc)), row.local);
    }
    VTime local;
    local.FromLocalTime(2026, 3, 29, 3, 30, 0, 5);
    EXPECT_EQ(Utc(local), "2026-03-29T01:30:00.005Z");
    local.FromLocalTime(2026, 7, 1, 12, 0, 0, 0);
    EXPECT_EQ(Utc(local), "2026-07-01T10:00:00.000Z");
    local.FromLocalTime(2026, 2, 30, 12, 0, 0, 0);
    EXPECT_TRUE(local.IsNull());
}

TEST(VTime, FormatByOSGivesSeparateDateAndTime)
{
    StEnvVar tz("TZ", "XYZ+3:30");
    const VTime time = UtcTime({2026, 12, 4, 9, 5, 7, 42});
    VString date, clock;
    time.FormatByOS(date, clock, true);
    EXPECT_NE(to_string(date).find("26"), std::string::npos) << to_string(date);
    EXPECT_NE(to_string(clock).find("05"), std::string::npos) << to_string(clock);
    EXPECT_EQ(to_string(clock).find("2026"), std::string::npos) << "the time comes without the date";
    time.FormatByOS(date, clock, false);
    EXPECT_NE(to_string(clock).find("35"), std::string::npos) << "the user's zone: " << to_string(clock);
    VTime null;
    null.SetNull(true);
    null.FormatByOS(date, clock, false);
    EXPECT_TRUE(date.IsEmpty() && clock.IsEmpty());
}

TEST(VTime, StoredInABag)
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    const VTime time = UtcTime({2026, 12, 4, 9, 5, 7, 42});
    bag->SetAttribute(StPackedDictionaryKey("when"), time);
    bag->SetAttribute(StPackedDictionaryKey("how long"), VDuration(-1500));
    VValueBag copy(*bag);
    VTime read;
    VDuration span;
    ASSERT_TRUE(copy.GetAttribute(StPackedDictionaryKey("when"), read));
    ASSERT_TRUE(copy.GetAttribute(StPackedDictionaryKey("how long"), span));
    EXPECT_EQ(read, time);
    EXPECT_EQ(span.ConvertToMilliseconds(), -1500);
}

TEST(VDuration, ISOTextBothWays)
{
    struct Row {
        const char* name;
        int64_t milliseconds;
        uint32_t options;
        const char* text;
        bool roundTrips;
    };
    const Row rows[] = {
        {"days and milliseconds", 90061001, 1, "P1DT1H1M1.00100004673004S", true},
        {"days", 90061000, 1, "P1DT1H1M1S", true},
        {"hours, minutes, seconds", 3723000, 1, "PT1H2M3S", true},
        {"milliseconds alone", 500, 1, "PT0H0M0.50000000000000S", true},
        {"zero", 0, 1, "PT0H0M0S", true},
        {"negative", -3723000, 1, "-PT1H2M3S", true},
        {"whole seconds", 3723999, 0, "3723", false},
        {"negative seconds truncate toward zero", -1500, 0, "-1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString text;
        VDuration(row.milliseconds).GetXMLString(text, row.options);
        EXPECT_EQ(to_string(text), row.text);
        VDuration back;
        ASSERT_TRUE(back.FromXMLString(text));
        if (row.roundTrips) {
            EXPECT_EQ(back.ConvertToMilliseconds(), row.milliseconds);
        }
    }

    struct ParseRow {
        const char* text;
        int64_t milliseconds; // -1: refused
    };
    const ParseRow parses[] = {
        {"P1Y", 360LL * 86400000}, {"P2M", 60LL * 86400000}, {"P1W", 7LL * 86400000}, {"PT0.3S", 300},
        {"P1DT12H", 129600000},    {"PT90M", 5400000},       {"3723", 3723000},       {"Pxyz", -1},
        {"P1H", -1},               {"", -1},                 {"12s", -1},
    };
    for (const ParseRow& row : parses) {
        SCOPED_TRACE(row.text);
        VDuration duration;
        bool parsed = duration.FromXMLString(VString(row.text));
        EXPECT_EQ(parsed, row.milliseconds != -1);
        EXPECT_EQ(duration.IsNull(), !parsed);
        if (parsed) {
            EXPECT_EQ(duration.ConvertToMilliseconds(), row.milliseconds);
        }
    }

    int64_t days;
    int32_t hours, minutes, seconds, milliseconds;
    VDuration(90061001).GetDuration(days, hours, minutes, seconds, milliseconds);
    EXPECT_EQ(std::vector<int64_t>({days, hours, minutes, seconds, milliseconds}),
              std::vector<int64_t>({1, 1, 1, 1, 1}));
    EXPECT_EQ(VDuration(-1999).ConvertToSeconds(), -1);
}

} // namespace
} // namespace nuvo
