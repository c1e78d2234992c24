#pragma once

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ILocalizer.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFolder;

// One row of the language table. Texts are ASCII; region is upper case, the others lower case
// except the script/second-region text, kept as written ("Hant").
struct VLanguageRow {
    DialectCode dialect;
    const char* iso6391;   // "en"
    const char* iso6392;   // "eng"
    const char* name;      // "english"
    const char* region;    // "US", may be empty
    const char* extra;     // second region or script, may be empty
};

// Locale services of the process: the language table and the conversions between dialect codes,
// ISO 639 codes, English language names and RFC 3066 codes. The table is constant, so every
// function is thread-safe. A language alone ("fr") names its first row in table order (the
// rows are ordered by dialect code, so the primary region comes first).
class VIntlMgr {
public:
    static const std::vector<VLanguageRow>& GetLanguageTable();
    // Null when the table has no row for dialect.
    static const VLanguageRow* FindRow(DialectCode dialect);

    // An ISO 639-1 or 639-2 code or an English language name, case ignored.
    [[nodiscard]] static bool GetDialectCodeWithISOLanguageName(const VString& name, DialectCode& out);
    // "fr", "fr-FR", "zh-Hant", "zh-Hant-TW"; '_' is taken for '-' and case is ignored.
    [[nodiscard]] static bool GetDialectCodeWithRFC3066BisLanguageCode(const VString& code, DialectCode& out);
    // "en-US" for 1033 (separator between the parts), "fr" alone for a row without region.
    [[nodiscard]] static bool GetRFC3066BisLanguageCodeWithDialectCode(DialectCode dialect, VString& out,
                                                                       UniChar separator = u'-');

    // 4 equal, 3 manager "ll-RR" vs file "ll", 2 manager "ll" vs file "ll-RR", 1 same language
    // with two regions, 0 otherwise, -1 when either code names no row.
    static int Compare2RFC3066LanguageCodes(const VString& managerCode, const VString& fileCode);

    // The existing language folders of dialect inside parent, in the order they should be read:
    // <rfc>.lproj, <rfc with '_'>.lproj, <ll>.lproj, <ll_RR>.lproj, <Name>.lproj; names that
    // repeat an earlier one (case ignored) are tried once.
    static void GetLocalizationFoldersWithDialect(DialectCode dialect, const VFolder& parent,
                                                  std::vector<VRefPtr<VFolder>>& out);
};

} // namespace nuvo
