// Linux platform layer: the environment variables of the message locale. Holds no other OS call.

#include "kernel/platform/XLinuxLocale.h"

#include <cstdlib>

namespace nuvo {

namespace {

std::string StripEncodingAndModifier(const std::string& locale)
{
    std::string language = locale.substr(0, locale.find_first_of(".@"));
    if (language == "C" || language == "POSIX")
        return {};
    return language;
}

} // namespace

std::vector<std::string> XLinuxLocale::GetPreferredLanguages()
{
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != 0) {
            locale = value;
            break;
        }
    }
    std::string localeLanguage = StripEncodingAndModifier(locale);

    std::vector<std::string> languages;
    const char* list = std::getenv("LANGUAGE");
    // gettext ignores LANGUAGE under the C locale, so that scripts forcing C get C.
    if (list != nullptr && !localeLanguage.empty()) {
        std::string entries(list);
        size_t start = 0;
        while (start <= entries.size()) {
            size_t end = entries.find(':', start);
            if (end == std::string::npos)
                end = entries.size();
            std::string entry = StripEncodingAndModifier(entries.substr(start, end - start));
            if (!entry.empty())
                languages.push_back(entry);
            start = end + 1;
        }
    }
    if (!localeLanguage.empty())
        languages.push_back(localeLanguage);
    return languages;
}

} // namespace nuvo
