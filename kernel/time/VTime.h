#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

class VDuration;
class VString;

enum VTimeInitParam : int32_t {
    eInitWithZero = 0,
    eInitWithCurrentTime = 1,
};

// Bits of GetRfc3339String. Without kRfc3339UTC or kRfc3339LocalNoOffset the text is local time
// with the system's GMT offset.
inline constexpr uint32_t kRfc3339UTC = 1;
inline constexpr uint32_t kRfc3339LocalNoOffset = 2;
inline constexpr uint32_t kRfc3339TimeOnly = 4;
inline constexpr uint32_t kRfc3339DateOnly = 8;
inline constexpr uint32_t kRfc3339ZeroDate = 16;
inline constexpr uint32_t kRfc3339NoMilliseconds = 32;

// Bits of GetJSONString: the date alone when the time of day is 0; the text within "\"!!" and "!!\"".
inline constexpr uint32_t kJSONTimeDateOnlyAtMidnight = 1;
inline constexpr uint32_t kJSONTimeWrapped = 2;

// An instant in UTC with millisecond resolution, kept as calendar fields (year, month, day and
// milliseconds since midnight). The all-zero date is the zero time: valid, not null, lower than
// every dated time. Invalid fields and failed parses make the time null. Local time goes through
// the system's time-zone rules (TZ honoured). A single value of the value family; pointer form:
// the 8-byte stamp in native order. Not thread-safe.
class VTime : public VValueSingle {
public:
    VTime() = default;
    explicit VTime(VTimeInitParam init);
    VTime(const VTime& other) = default;
    VTime& operator=(const VTime& other) = default;

    static void Now(VTime& out);
    void FromSystemTime();
    void FromUTCTime(int16_t year, int16_t month, int16_t day, int16_t hour, int16_t minute, int16_t second,
                     int16_t millisecond);
    void FromLocalTime(int16_t year, int16_t month, int16_t day, int16_t hour, int16_t minute, int16_t second,
                       int16_t millisecond);
    // -1: null; 0: the zero time; otherwise days since the calendar's origin * 86400000 plus
    // milliseconds since midnight.
    void FromMilliseconds(int64_t milliseconds);
    // (year << 48) | (month << 40) | (day << 32) | milliseconds since midnight.
    void FromStamp(uint64_t stamp);
    // Milliseconds since 1970-01-01T00:00:00Z, the system's count.
    void FromUnixMilliseconds(int64_t milliseconds);
    int64_t GetUnixMilliseconds() const;
    uint64_t GetStamp() const;

    void AddMilliseconds(int64_t milliseconds);
    void AddSeconds(int64_t seconds) { AddMilliseconds(seconds * 1000); }
    void AddMinutes(int64_t minutes) { AddMilliseconds(minutes * 60000); }
    void AddHours(int64_t hours) { AddMilliseconds(hours * 3600000); }
    void AddDays(int64_t days) { AddMilliseconds(days * 86400000); }
    // Calendar moves: the day is clamped to the new month's length.
    void AddMonths(int32_t months);
    void AddYears(int32_t years) { AddMonths(years * 12); }
    void Add(const VDuration& duration);
    void Substract(const VDuration& duration);

    void GetUTCTime(int16_t& year, int16_t& month, int16_t& day, int16_t& hour, int16_t& minute, int16_t& second,
                    int16_t& millisecond) const;
    void GetLocalTime(int16_t& year, int16_t& month, int16_t& day, int16_t& hour, int16_t& minute,
                      int16_t& second, int16_t& millisecond) const;
    // 0 for the zero time, -1 for a null time.
    int64_t GetMilliseconds() const;
    // out = this count minus other's (null counts -1, the zero time 0).
    void Substract(const VTime& other, VDuration& out) const;

    int CompareTo(const VTime& other) const; // -1, 0, 1, field by field
    bool operator==(const VTime& other) const { return CompareTo(other) == 0; }
    bool operator!=(const VTime& other) const { return CompareTo(other) != 0; }
    bool operator<(const VTime& other) const { return CompareTo(other) < 0; }
    bool operator<=(const VTime& other) const { return CompareTo(other) <= 0; }
    bool operator>(const VTime& other) const { return CompareTo(other) > 0; }
    bool operator>=(const VTime& other) const { return CompareTo(other) >= 0; }

    int16_t GetLocalYear() const;
    int16_t GetLocalMonth() const;
    int16_t GetLocalDay() const;
    int16_t GetLocalHour() const;
    int16_t GetLocalMinute() const;
    int16_t GetLocalSecond() const;
    int16_t GetLocalMillisecond() const;
    // Of the UTC date: 0 for Sunday; day of the year from 1; the day count.
    int32_t GetWeekDay() const;
    int32_t GetYearDay() const;
    int32_t GetJulianDay() const;

    // Short date and short time of the process locale, separately; the user's time zone unless
    // inGMT. A null time gives two empty texts.
    void FormatByOS(VString& outDate, VString& outTime, bool inGMT) const;
    // "YYYY-MM-DD hh:mm:ss:mmm" in local time; empty for a null time.
    void GetStringLocalTime(VString& out) const;
    void GetRfc3339String(VString& out, uint32_t options) const;
    [[nodiscard]] bool FromRfc3339String(const VString& text);
    // "Www, DD Mon YYYY hh:mm:ss GMT".
    void GetRfc822String(VString& out) const;
    [[nodiscard]] bool FromRfc822String(const VString& text);
    // kJSONTime* options; the full UTC RFC 3339 form otherwise.
    void GetJSONString(VString& out, uint32_t options) const;

    static bool IsLeapYear(int32_t year);
    // 0 for a month out of 1-12.
    static int32_t GetDaysInMonth(int32_t year, int32_t month);
    static int32_t ComputeDayNumber(int32_t year, int32_t month, int32_t day);

    // Value family.
    ValueKind GetValueKind() const override { return ValueKind::Time; }
    [[nodiscard]] VTime* Clone() const override { return new VTime(*this); }
    void Clear() override;
    void GetString(VString& out) const override { GetRfc3339String(out, kRfc3339UTC); }
    void FromString(const VString& text) override { (void)FromRfc3339String(text); }
    void GetXMLString(VString& out, uint32_t options) const { GetRfc3339String(out, options); }
    void GetXMLString(VString& out) const override { GetRfc3339String(out, kRfc3339UTC); }
    // RFC 3339 text, optionally between "!!" markers.
    bool FromXMLString(const VString& text) override;
    void GetJSONString(VString& out) const override { GetJSONString(out, 0); }
    bool FromJSONString(const VString& text) override { return FromXMLString(text); }
    bool GetBoolean() const override { return !IsNull() && GetStamp() != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return GetMilliseconds(); }
    double GetReal() const override { return double(GetMilliseconds()); }
    void FromBoolean(bool) override { Clear(); }
    void FromLong(int32_t value) override { FromMilliseconds(value); }
    void FromLong8(int64_t value) override { FromMilliseconds(value); }
    void FromReal(double value) override { FromMilliseconds(int64_t(value)); }
    void FromValue(const VValueSingle& other) override;
    size_t GetSpace() const override { return sizeof(uint64_t); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    void _SetNullTime();

    uint16_t fYear = 0;
    uint8_t fMonth = 0;
    uint8_t fDay = 0;
    uint32_t fMilliseconds = 0; // since midnight UTC
};

} // namespace nuvo
