// Linux clock and time-zone calls for VTime (clock_gettime, localtime_r, mktime).
// Only C library time calls belong here.

#include "kernel/platform/XLinuxTime.h"

#include <ctime>

#include <time.h>

namespace nuvo {

int64_t XLinuxTime::GetUnixMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool XLinuxTime::UnixSecondsToLocal(int64_t unixSeconds, XCalendarFields& out)
{
    // localtime_r need not look at TZ again; tzset makes a test's (or user's) change count.
    tzset();
    time_t seconds = time_t(unixSeconds);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return false;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    return true;
}

bool XLinuxTime::LocalToUnixSeconds(const XCalendarFields& local, int64_t& outUnixSeconds)
{
    tzset();
    tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    time_t seconds = mktime(&fields);
    // -1 is also 1969-12-31T23:59:59Z; the fields tell the two apart.
    if (seconds == time_t(-1) && (fields.tm_year != 69 || fields.tm_mon != 11 || fields.tm_mday != 31))
        return false;
    outUnixSeconds = int64_t(seconds);
    return true;
}

int32_t XLinuxTime::GetGMTOffset(int64_t unixSeconds)
{
    tzset();
    time_t seconds = time_t(unixSeconds);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return 0;
    return int32_t(local.tm_gmtoff);
}

} // namespace nuvo
