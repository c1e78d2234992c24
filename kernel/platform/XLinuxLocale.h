#pragma once
// Linux locale queries for the localization: the user's preferred message languages, read from
// the environment. No toolkit error records are pushed here.

#include <string>
#include <vector>

namespace nuvo {

// Static queries; thread-safe as long as nobody changes the environment meanwhile.
class XLinuxLocale {
public:
    // The user's message languages, most preferred first, as POSIX locale names without
    // encoding or modifier ("fr_FR.UTF-8@euro" gives "fr_FR"): the entries of LANGUAGE (a GNU
    // extension, ignored when the locale itself is C), then the first non-empty of LC_ALL,
    // LC_MESSAGES and LANG. "C" and "POSIX" name no language and are left out.
    static std::vector<std::string> GetPreferredLanguages();
};

} // namespace nuvo
