#pragma once

#include <cstdint>

#include "kernel/values/VValueSingle.h"

namespace nuvo {

class VString;

// Bit of GetXMLString: the ISO 8601 duration form ("P1DT1H1M1S") instead of whole seconds.
inline constexpr uint32_t kDurationXMLISO = 1;

// A signed span of milliseconds, a single value of the value family (so it can be null and
// stored in bags). Pointer form: the 8-byte count in native order. Not thread-safe.
class VDuration : public VValueSingle {
public:
    VDuration() = default;
    explicit VDuration(int64_t milliseconds) : fMilliseconds(milliseconds) {}

    void FromNbMilliseconds(int64_t milliseconds) { fMilliseconds = milliseconds; SetNull(false); }
    void FromNbSeconds(int64_t seconds) { FromNbMilliseconds(seconds * 1000); }
    void SetDuration(int64_t days, int64_t hours, int64_t minutes, int64_t seconds, int64_t milliseconds);

    int64_t ConvertToMilliseconds() const { return fMilliseconds; }
    // Truncated toward zero.
    int64_t ConvertToSeconds() const { return fMilliseconds / 1000; }
    // The parts of the span, each with the span's sign (days unbounded, hours 0-23...).
    int64_t GetDay() const;
    int32_t GetHour() const;
    int32_t GetMinute() const;
    int32_t GetSecond() const;
    int32_t GetMillisecond() const;
    void GetDuration(int64_t& days, int32_t& hours, int32_t& minutes, int32_t& seconds, int32_t& milliseconds) const;

    void Add(int64_t milliseconds) { FromNbMilliseconds(fMilliseconds + milliseconds); }
    void AddDuration(const VDuration& other) { Add(other.fMilliseconds); }

    // -1, 0 or 1 by the counts.
    int CompareTo(const VDuration& other) const;
    bool operator==(const VDuration& other) const { return fMilliseconds == other.fMilliseconds; }
    bool operator!=(const VDuration& other) const { return fMilliseconds != other.fMilliseconds; }
    bool operator<(const VDuration& other) const { return fMilliseconds < other.fMilliseconds; }
    bool operator<=(const VDuration& other) const { return fMilliseconds <= other.fMilliseconds; }
    bool operator>(const VDuration& other) const { return fMilliseconds > other.fMilliseconds; }
    bool operator>=(const VDuration& other) const { return fMilliseconds >= other.fMilliseconds; }

    // Options: kDurationXMLISO or 0 (whole seconds as decimal text).
    void GetXMLString(VString& out, uint32_t options) const;
    // The ISO form when text starts with "P", else a plain number of seconds. False (and null)
    // when the text is neither.
    bool FromXMLString(const VString& text) override;
    void GetXMLString(VString& out) const override { GetXMLString(out, kDurationXMLISO); }

    ValueKind GetValueKind() const override { return ValueKind::Duration; }
    [[nodiscard]] VDuration* Clone() const override { return new VDuration(*this); }
    void Clear() override { FromNbMilliseconds(0); }

    // Text: the millisecond count.
    void GetString(VString& out) const override;
    void FromString(const VString& text) override;
    bool GetBoolean() const override { return fMilliseconds != 0; }
    int32_t GetLong() const override;
    int64_t GetLong8() const override { return fMilliseconds; }
    double GetReal() const override { return double(fMilliseconds); }
    void FromBoolean(bool value) override { FromNbMilliseconds(value ? 1 : 0); }
    void FromLong(int32_t value) override { FromNbMilliseconds(value); }
    void FromLong8(int64_t value) override { FromNbMilliseconds(value); }
    void FromReal(double value) override;
    void FromValue(const VValueSingle& other) override;

    size_t GetSpace() const override { return sizeof(int64_t); }
    void* WriteToPtr(void* data) const override;
    const void* LoadFromPtr(const void* data) override;

    void DebugDump(VString& out) const override;

private:
    int64_t fMilliseconds = 0;
};

} // namespace nuvo
