#pragma once
// Linux clock and time-zone calls for VTime: the real-time clock and the C library's zone rules.
// TZ is re-read on every call so that a changed TZ takes effect. No error records here.

#include <cstdint>

namespace nuvo {

// Broken-down calendar fields (month 1-12, day 1-31).
struct XCalendarFields {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Static calls; every function is thread-safe.
class XLinuxTime {
public:
    // Milliseconds since 1970-01-01T00:00:00Z.
    static int64_t GetUnixMilliseconds();
    // The local fields of a UTC instant (seconds since 1970); false when out of range.
    static bool UnixSecondsToLocal(int64_t unixSeconds, XCalendarFields& out);
    // The UTC instant of local fields; a time that a DST change skips or repeats gets the
    // C library's choice. False when out of range.
    static bool LocalToUnixSeconds(const XCalendarFields& local, int64_t& outUnixSeconds);
    // The offset from GMT, in seconds east, at unixSeconds.
    static int32_t GetGMTOffset(int64_t unixSeconds);
};

} // namespace nuvo
