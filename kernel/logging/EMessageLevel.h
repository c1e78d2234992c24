#pragma once

#include <cstdint>

namespace nuvo {

// Levels of log messages; each is also its bit number in a logger's level mask.
enum EMessageLevel : uint32_t {
    EML_Dump = 0,
    EML_Trace = 1,
    EML_Assert = 2,
    EML_Debug = 3,
    EML_Information = 4,
    EML_Warning = 5,
    EML_Error = 6,
    EML_Fatal = 7,
};

inline constexpr uint32_t kMessageLevelCount = 8;

// INFO, WARN, ERROR and FATAL.
inline constexpr uint32_t kDefaultMessageLevelMask = 0xF0;

// The text written to log files ("DUMP" ... "FATAL"); null for a number that is not a level.
constexpr const char* GetMessageLevelName(uint32_t level)
{
    constexpr const char* kNames[kMessageLevelCount] = {"DUMP", "TRACE", "ASSERT", "DEBUG",
                                                        "INFO", "WARN", "ERROR", "FATAL"};
    return level < kMessageLevelCount ? kNames[level] : nullptr;
}

} // namespace nuvo
