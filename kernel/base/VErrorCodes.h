#pragma once
// The toolkit's own error numbers (component 'nuvo').

#include "kernel/base/VTypes.h"

namespace nuvo {

inline constexpr VError VE_UNKNOWN_ERROR = MakeNuvoError(1);
inline constexpr VError VE_INIT_FAILED = MakeNuvoError(4);
inline constexpr VError VE_ACCESS_DENIED = MakeNuvoError(5);
inline constexpr VError VE_USER_CANCELLED = MakeNuvoError(6);
inline constexpr VError VE_TIMEOUT_KILLED = MakeNuvoError(8);
inline constexpr VError VE_MEMORY_FULL = MakeNuvoError(100);
inline constexpr VError VE_STRING_ALLOC_FAILED = MakeNuvoError(107);
inline constexpr VError VE_STREAM_EOF = MakeNuvoError(200);
inline constexpr VError VE_STREAM_NO_FILE = MakeNuvoError(205);
inline constexpr VError VE_STREAM_NO_CONVERTER = MakeNuvoError(208);
inline constexpr VError VE_CONVERSION_FAILED = MakeNuvoError(300);
inline constexpr VError VE_RESOURCE_NOT_FOUND = MakeNuvoError(401);

// Files (VFile).
inline constexpr VError VE_FILE_NOT_FOUND = MakeNuvoError(600);
inline constexpr VError VE_FILE_CANNOT_RENAME = MakeNuvoError(601);
inline constexpr VError VE_FILE_CANNOT_OPEN = MakeNuvoError(602);
inline constexpr VError VE_FILE_CANNOT_DELETE = MakeNuvoError(604);
inline constexpr VError VE_FILE_CANNOT_COPY = MakeNuvoError(605);
inline constexpr VError VE_FILE_CANNOT_MOVE = MakeNuvoError(606);
inline constexpr VError VE_FILE_CANNOT_CREATE = MakeNuvoError(607);
inline constexpr VError VE_FILE_CANNOT_GET_ATTRIBUTES = MakeNuvoError(608);
inline constexpr VError VE_FILE_CANNOT_SET_ATTRIBUTES = MakeNuvoError(609);
inline constexpr VError VE_FILE_CANNOT_CREATE_ALIAS = MakeNuvoError(610);
inline constexpr VError VE_FILE_CANNOT_RESOLVE_ALIAS = MakeNuvoError(611);
inline constexpr VError VE_FILE_CANNOT_REVEAL = MakeNuvoError(612);
inline constexpr VError VE_FILE_BAD_NAME = MakeNuvoError(614);
inline constexpr VError VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE = MakeNuvoError(617);

// Folders (VFolder).
inline constexpr VError VE_FOLDER_NOT_FOUND = MakeNuvoError(650);
inline constexpr VError VE_FOLDER_NOT_EMPTY = MakeNuvoError(651);
inline constexpr VError VE_FOLDER_CANNOT_CREATE = MakeNuvoError(652);
inline constexpr VError VE_FOLDER_CANNOT_DELETE = MakeNuvoError(653);
inline constexpr VError VE_FOLDER_CANNOT_GET_ATTRIBUTES = MakeNuvoError(654);
inline constexpr VError VE_FOLDER_CANNOT_SET_ATTRIBUTES = MakeNuvoError(655);
inline constexpr VError VE_FOLDER_CANNOT_REVEAL = MakeNuvoError(656);
inline constexpr VError VE_FOLDER_CANNOT_RENAME = MakeNuvoError(657);
inline constexpr VError VE_DISK_FULL = MakeNuvoError(658);
inline constexpr VError VE_FOLDER_CANNOT_COPY = MakeNuvoError(660);
inline constexpr VError VE_FOLDER_CANNOT_MOVE_TO_TRASH = MakeNuvoError(661);

// JSON (parser, value model, writer).
inline constexpr VError VE_JSON_MALFORMED = MakeNuvoError(550);
inline constexpr VError VE_JSON_INVALID_TOKEN = MakeNuvoError(551);
inline constexpr VError VE_JSON_UNTERMINATED_STRING = MakeNuvoError(552);
inline constexpr VError VE_JSON_EXTRA_COMMA = MakeNuvoError(553);
inline constexpr VError VE_JSON_NOTHING_FOUND = MakeNuvoError(554);
inline constexpr VError VE_JSON_TOO_DEEP = MakeNuvoError(555);
inline constexpr VError VE_JSON_CYCLE = MakeNuvoError(900);
inline constexpr VError VE_JSON_CANNOT_STRINGIFY = MakeNuvoError(911);
inline constexpr VError VE_JSON_NOT_GENERIC = MakeNuvoError(914);
inline constexpr VError VE_JSON_ALREADY_STRINGIFIED = MakeNuvoError(916);

} // namespace nuvo
