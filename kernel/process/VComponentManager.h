#pragma once

#include <string>
#include <vector>

#include "kernel/errors/ILocalizer.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFolder;

// The language a component (a bundle) is localized in, chosen from its ".lproj" folders and the
// user's preferred languages. Stateless; thread-safe while nobody changes the environment.
class VComponentManager {
public:
    // The dialect of folder's language folders (in Contents/Resources when inResources) that
    // best serves preferred, or, when preferred is 0, the user's choice among the main bundle's
    // localizations (1033 when there is none): that language when a folder of it exists, else
    // US English when a folder of it exists, else the last language folder recognised. -2 for a
    // null or missing folder or when no folder name is recognised.
    static DialectCode GetLocalizationLanguage(const VFolder* folder, bool inResources, DialectCode preferred);

    // The first of userLanguages (POSIX locale names, most preferred first) that one of
    // localizations (names of ".lproj" folders without the extension) serves, as a dialect
    // code: the same name first, then the user language's language part alone, then a
    // localization of the same language with another region. 1033 when none serves or the
    // chosen name names no language.
    static DialectCode ChoosePreferredLocalization(const std::vector<VString>& localizations,
                                                   const std::vector<std::string>& userLanguages);
};

} // namespace nuvo
