#pragma once
// Error numbers of the XML layer (component 'xmlc').

#include "kernel/base/VTypes.h"

namespace nuvo {

inline constexpr VError VE_XML_UNEXPECTED_ROOT = MakeVError(kComponentXml, 1);  // "name"
// Parse errors: "message", "systemID", "publicID", "line", "column".
inline constexpr VError VE_XML_PARSING_ERROR = MakeVError(kComponentXml, 2);
inline constexpr VError VE_XML_FATAL_ERROR = MakeVError(kComponentXml, 3);

} // namespace nuvo
