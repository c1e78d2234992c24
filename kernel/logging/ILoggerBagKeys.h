#pragma once

#include "kernel/values/StPackedDictionaryKey.h"

namespace nuvo::ILoggerBagKeys {

// Attributes of a log message bag. "level" is an EMessageLevel (INFO when absent),
// "component_signature" a four-character code, "error_code" a 64-bit error code.
inline constexpr StPackedDictionaryKey message("message");
inline constexpr StPackedDictionaryKey level("level");
inline constexpr StPackedDictionaryKey source("source");
inline constexpr StPackedDictionaryKey task_name("task_name");
inline constexpr StPackedDictionaryKey file_name("file_name");
inline constexpr StPackedDictionaryKey stack_crawl("stack_crawl");
inline constexpr StPackedDictionaryKey line_number("line_number");
inline constexpr StPackedDictionaryKey component_signature("component_signature");
inline constexpr StPackedDictionaryKey elapsed_milliseconds("elapsed_milliseconds");
inline constexpr StPackedDictionaryKey count_bytes_sent("count_bytes_sent");
inline constexpr StPackedDictionaryKey count_bytes_received("count_bytes_received");
inline constexpr StPackedDictionaryKey base_context_uuid("base_context_uuid");
inline constexpr StPackedDictionaryKey error_code("error_code");
inline constexpr StPackedDictionaryKey count_bytes_asked("count_bytes_asked");
inline constexpr StPackedDictionaryKey socket("socket");
inline constexpr StPackedDictionaryKey is_blocking("is_blocking");
inline constexpr StPackedDictionaryKey is_ssl("is_ssl");
inline constexpr StPackedDictionaryKey is_select_io("is_select_io");
inline constexpr StPackedDictionaryKey payload("payload");
inline constexpr StPackedDictionaryKey ms_timeout("ms_timeout");
inline constexpr StPackedDictionaryKey ms_spent("ms_spent");
inline constexpr StPackedDictionaryKey dump_offset("dump_offset");
inline constexpr StPackedDictionaryKey dump_buffer("dump_buffer");
inline constexpr StPackedDictionaryKey local_addr("local_addr");
inline constexpr StPackedDictionaryKey peer_addr("peer_addr");
inline constexpr StPackedDictionaryKey local_port("local_port");
inline constexpr StPackedDictionaryKey peer_port("peer_port");
inline constexpr StPackedDictionaryKey task_id("task_id");
inline constexpr StPackedDictionaryKey exchange_id("exchange_id");
inline constexpr StPackedDictionaryKey debug_context("debug_context");
inline constexpr StPackedDictionaryKey jobId("jobId");
inline constexpr StPackedDictionaryKey jobState("jobState");
inline constexpr StPackedDictionaryKey pipe("pipe");
inline constexpr StPackedDictionaryKey user_id("user_id");
inline constexpr StPackedDictionaryKey stream_id("stream_id");
inline constexpr StPackedDictionaryKey system_username("system_username");
inline constexpr StPackedDictionaryKey hostname("hostname");

} // namespace nuvo::ILoggerBagKeys
