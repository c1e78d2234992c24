#pragma once

#include "kernel/values/StPackedDictionaryKey.h"

namespace nuvo::StartupParametersBagKeys {

// The server link file: one element database_shortcut with these attributes.
inline constexpr StPackedDictionaryKey database_shortcut("database_shortcut");
inline constexpr StPackedDictionaryKey is_remote("is_remote");
inline constexpr StPackedDictionaryKey server_database_name("server_database_name");
inline constexpr StPackedDictionaryKey server_path("server_path");
inline constexpr StPackedDictionaryKey cache_folder_name("cache_folder_name");
inline constexpr StPackedDictionaryKey remote_shared_resources("remote_shared_resources");

} // namespace nuvo::StartupParametersBagKeys
