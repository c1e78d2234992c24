#include "kernel/text/VIntlMgr.h"

#include <string>

#include "kernel/files/VFolder.h"

namespace nuvo {

namespace {

// Windows-style dialect codes (primary language in the low 10 bits, sub-language above), so that
// the first row of a language is its primary region.
const std::vector<VLanguageRow> kLanguageTable = {
    {1025, "ar", "ara", "arabic", "SA", ""},
    {1026, "bg", "bul", "bulgarian", "BG", ""},
    {1027, "ca", "cat", "catalan", "ES", ""},
    {1028, "zh", "chi", "chinese", "TW", "Hant"},
    {1029, "cs", "cze", "czech", "CZ", ""},
    {1030, "da", "dan", "danish", "DK", ""},
    {1031, "de", "ger", "german", "DE", ""},
    {1032, "el", "gre", "greek", "GR", ""},
    {1033, "en", "eng", "english", "US", ""},
    {1034, "es", "spa", "spanish", "ES", ""},
    {1035, "fi", "fin", "finnish", "FI", ""},
    {1036, "fr", "fre", "french", "FR", ""},
    {1037, "he", "heb", "hebrew", "IL", ""},
    {1038, "hu", "hun", "hungarian", "HU", ""},
    {1039, "is", "ice", "icelandic", "IS", ""},
    {1040, "it", "ita", "italian", "IT", ""},
    {1041, "ja", "jpn", "japanese", "JP", ""},
    {1042, "ko", "kor", "korean", "KR", ""},
    {1043, "nl", "dut", "dutch", "NL", ""},
    {1044, "nb", "nob", "norwegian bokmal", "NO", ""},
    {1045, "pl", "pol", "polish", "PL", ""},
    {1046, "pt", "por", "portuguese", "BR", ""},
    {1047, "rm", "roh", "romansh", "CH", ""},
    {1048, "ro", "rum", "romanian", "RO", ""},
    {1049, "ru", "rus", "russian", "RU", ""},
    {1050, "hr", "hrv", "croatian", "HR", ""},
    {1051, "sk", "slo", "slovak", "SK", ""},
    {1052, "sq", "alb", "albanian", "AL", ""},
    {1053, "sv", "swe", "swedish", "SE", ""},
    {1054, "th", "tha", "thai", "TH", ""},
    {1055, "tr", "tur", "turkish", "TR", ""},
    {1056, "ur", "urd", "urdu", "PK", ""},
    {1057, "id", "ind", "indonesian", "ID", ""},
    {1058, "uk", "ukr", "ukrainian", "UA", ""},
    {1059, "be", "bel", "belarusian", "BY", ""},
    {1060, "sl", "slv", "slovenian", "SI", ""},
    {1061, "et", "est", "estonian", "EE", ""},
    {1062, "lv", "lav", "latvian", "LV", ""},
    {1063, "lt", "lit", "lithuanian", "LT", ""},
    {1064, "tg", "tgk", "tajik", "TJ", ""},
    {1065, "fa", "per", "persian", "IR", ""},
    {1066, "vi", "vie", "vietnamese", "VN", ""},
    {1067, "hy", "arm", "armenian", "AM", ""},
    {1068, "az", "aze", "azerbaijani", "AZ", "Latn"},
    {1069, "eu", "baq", "basque", "ES", ""},
    {1071, "mk", "mac", "macedonian", "MK", ""},
    {1074, "tn", "tsn", "tswana", "ZA", ""},
    {1076, "xh", "xho", "xhosa", "ZA", ""},
    {1077, "zu", "zul", "zulu", "ZA", ""},
    {1078, "af", "afr", "afrikaans", "ZA", ""},
    {1079, "ka", "geo", "georgian", "GE", ""},
    {1080, "fo", "fao", "faroese", "FO", ""},
    {1081, "hi", "hin", "hindi", "IN", ""},
    {1082, "mt", "mlt", "maltese", "MT", ""},
    {1083, "se", "sme", "northern sami", "NO", ""},
    {1086, "ms", "may", "malay", "MY", ""},
    {1087, "kk", "kaz", "kazakh", "KZ", ""},
    {1088, "ky", "kir", "kyrgyz", "KG", ""},
    {1089, "sw", "swa", "swahili", "KE", ""},
    {1090, "tk", "tuk", "turkmen", "TM", ""},
    {1091, "uz", "uzb", "uzbek", "UZ", "Latn"},
    {1092, "tt", "tat", "tatar", "RU", ""},
    {1093, "bn", "ben", "bengali", "IN", ""},
    {1094, "pa", "pan", "punjabi", "IN", ""},
    {1095, "gu", "guj", "gujarati", "IN", ""},
    {1096, "or", "ori", "oriya", "IN", ""},
    {1097, "ta", "tam", "tamil", "IN", ""},
    {1098, "te", "tel", "telugu", "IN", ""},
    {1099, "kn", "kan", "kannada", "IN", ""},
    {1100, "ml", "mal", "malayalam", "IN", ""},
    {1101, "as", "asm", "assamese", "IN", ""},
    {1102, "mr", "mar", "marathi", "IN", ""},
    {1103, "sa", "san", "sanskrit", "IN", ""},
    {1104, "mn", "mon", "mongolian", "MN", "Cyrl"},
    {1105, "bo", "tib", "tibetan", "CN", ""},
    {1106, "cy", "wel", "welsh", "GB", ""},
    {1107, "km", "khm", "khmer", "KH", ""},
    {1108, "lo", "lao", "lao", "LA", ""},
    {1110, "gl", "glg", "galician", "ES", ""},
    {1111, "kok", "kok", "konkani", "IN", ""},
    {1114, "syr", "syr", "syriac", "SY", ""},
    {1115, "si", "sin", "sinhala", "LK", ""},
    {1117, "iu", "iku", "inuktitut", "CA", ""},
    {1118, "am", "amh", "amharic", "ET", ""},
    {1121, "ne", "nep", "nepali", "NP", ""},
    {1122, "fy", "fry", "frisian", "NL", ""},
    {1123, "ps", "pus", "pashto", "AF", ""},
    {1124, "fil", "fil", "filipino", "PH", ""},
    {1125, "dv", "div", "divehi", "MV", ""},
    {1128, "ha", "hau", "hausa", "NG", "Latn"},
    {1130, "yo", "yor", "yoruba", "NG", ""},
    {1132, "nso", "nso", "northern sotho", "ZA", ""},
    {1133, "ba", "bak", "bashkir", "RU", ""},
    {1134, "lb", "ltz", "luxembourgish", "LU", ""},
    {1135, "kl", "kal", "greenlandic", "GL", ""},
    {1136, "ig", "ibo", "igbo", "NG", ""},
    {1144, "ii", "iii", "yi", "CN", ""},
    {1146, "arn", "arn", "mapudungun", "CL", ""},
    {1148, "moh", "moh", "mohawk", "CA", ""},
    {1150, "br", "bre", "breton", "FR", ""},
    {1152, "ug", "uig", "uighur", "CN", ""},
    {1153, "mi", "mao", "maori", "NZ", ""},
    {1154, "oc", "oci", "occitan", "FR", ""},
    {1155, "co", "cos", "corsican", "FR", ""},
    {1157, "sah", "sah", "yakut", "RU", ""},
    {1159, "rw", "kin", "kinyarwanda", "RW", ""},
    {1160, "wo", "wol", "wolof", "SN", ""},
    {1164, "prs", "prs", "dari", "AF", ""},
    {1169, "gd", "gla", "scottish gaelic", "GB", ""},
    {2049, "ar", "ara", "arabic", "IQ", ""},
    {2052, "zh", "chi", "chinese", "CN", "Hans"},
    {2055, "de", "ger", "german", "CH", ""},
    {2057, "en", "eng", "english", "GB", "gb"},
    {2058, "es", "spa", "spanish", "MX", ""},
    {2060, "fr", "fre", "french", "BE", ""},
    {2064, "it", "ita", "italian", "CH", ""},
    {2067, "nl", "dut", "dutch", "BE", ""},
    {2068, "nn", "nno", "norwegian nynorsk", "NO", ""},
    {2070, "pt", "por", "portuguese", "PT", ""},
    {2074, "sr", "srp", "serbian", "RS", "Latn"},
    {2077, "sv", "swe", "swedish", "FI", ""},
    {2092, "az", "aze", "azerbaijani", "AZ", "Cyrl"},
    {2108, "ga", "gle", "irish", "IE", ""},
    {2110, "ms", "may", "malay", "BN", ""},
    {2115, "uz", "uzb", "uzbek", "UZ", "Cyrl"},
    {3073, "ar", "ara", "arabic", "EG", ""},
    {3076, "zh", "chi", "chinese", "HK", "Hant"},
    {3079, "de", "ger", "german", "AT", ""},
    {3081, "en", "eng", "english", "AU", ""},
    {3082, "es", "spa", "spanish", "ES", ""},
    {3084, "fr", "fre", "french", "CA", ""},
    {3098, "sr", "srp", "serbian", "RS", "Cyrl"},
    {4097, "ar", "ara", "arabic", "LY", ""},
    {4100, "zh", "chi", "chinese", "SG", "Hans"},
    {4103, "de", "ger", "german", "LU", ""},
    {4105, "en", "eng", "english", "CA", ""},
    {4106, "es", "spa", "spanish", "GT", ""},
    {4108, "fr", "fre", "french", "CH", ""},
    {5121, "ar", "ara", "arabic", "DZ", ""},
    {5124, "zh", "chi", "chinese", "MO", "Hant"},
    {5127, "de", "ger", "german", "LI", ""},
    {5129, "en", "eng", "english", "NZ", ""},
    {5130, "es", "spa", "spanish", "CR", ""},
    {5132, "fr", "fre", "french", "LU", ""},
    {6145, "ar", "ara", "arabic", "MA", ""},
    {6153, "en", "eng", "english", "IE", ""},
    {6154, "es", "spa", "spanish", "PA", ""},
    {6156, "fr", "fre", "french", "MC", ""},
    {7169, "ar", "ara", "arabic", "TN", ""},
    {7177, "en", "eng", "english", "ZA", ""},
    {8201, "en", "eng", "english", "JM", ""},
    {10249, "en", "eng", "english", "BZ", ""},
    {11274, "es", "spa", "spanish", "AR", ""},
    {16393, "en", "eng", "english", "IN", ""},
};

std::string Lower(const VString& text)
{
    std::string out = to_string(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

std::string Lower(const char* text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

const std::vector<VLanguageRow>& VIntlMgr::GetLanguageTable()
{
    return kLanguageTable;
}

const VLanguageRow* VIntlMgr::FindRow(DialectCode dialect)
{
    for (const VLanguageRow& row : kLanguageTable) {
        if (row.dialect == dialect)
            return &row;
    }
    return nullptr;
}

bool VIntlMgr::GetDialectCodeWithISOLanguageName(const VString& name, DialectCode& out)
{
    std::string wanted = Lower(name);
    if (wanted.empty())
        return false;
    for (const VLanguageRow& row : kLanguageTable) {
        if (wanted == row.iso6391 || wanted == row.iso6392 || wanted == row.name) {
            out = row.dialect;
            return true;
        }
    }
    return false;
}

bool VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(const VString& code, DialectCode& out)
{
    std::string wanted = Lower(code);
    for (char& c : wanted) {
        if (c == '_')
            c = '-';
    }
    std::vector<std::string> parts = Split(wanted, '-');
    if (parts.size() > 3 || parts[0].empty())
        return false;
    for (const VLanguageRow& row : kLanguageTable) {
        if (parts[0] != row.iso6391)
            continue;
        std::string region = Lower(row.region);
        std::string extra = Lower(row.extra);
        bool match = false;
        switch (parts.size()) {
        case 1:
            match = true;
            break;
        case 2:
            match = parts[1] == region || (!extra.empty() && parts[1] == extra);
            break;
        default:
            match = !extra.empty() && parts[1] == extra && parts[2] == region;
            break;
        }
        if (match) {
            out = row.dialect;
            return true;
        }
    }
    return false;
}

bool VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(DialectCode dialect, VString& out, UniChar separator)
{
    const VLanguageRow* row = FindRow(dialect);
    if (row == nullptr)
        return false;
    out = row->iso6391;
    if (row->region[0] != 0) {
        out.AppendUniChar(separator);
        out.AppendCString(row->region);
    }
    return true;
}

int VIntlMgr::Compare2RFC3066LanguageCodes(const VString& managerCode, const VString& fileCode)
{
    DialectCode ignored = 0;
    if (!GetDialectCodeWithRFC3066BisLanguageCode(managerCode, ignored)
        || !GetDialectCodeWithRFC3066BisLanguageCode(fileCode, ignored))
        return -1;
    std::string manager = Lower(managerCode);
    std::string file = Lower(fileCode);
    if (manager == file)
        return 4;
    std::vector<std::string> managerParts = Split(manager, '-');
    std::vector<std::string> fileParts = Split(file, '-');
    if (managerParts[0] != fileParts[0])
        return 0;
    if (managerParts.size() == 2 && fileParts.size() == 1)
        return 3;
    if (managerParts.size() == 1 && fileParts.size() == 2)
        return 2;
    if (managerParts.size() == 2 && fileParts.size() == 2)
        return 1;
    return 0;
}

void VIntlMgr::GetLocalizationFoldersWithDialect(DialectCode dialect, const VFolder& parent,
                                                 std::vector<VRefPtr<VFolder>>& out)
{
    const VLanguageRow* row = FindRow(dialect);
    if (row == nullptr)
        return;
    std::vector<VString> names;
    VString name;
    (void) GetRFC3066BisLanguageCodeWithDialectCode(dialect, name, u'-');
    names.push_back(name);
    (void) GetRFC3066BisLanguageCodeWithDialectCode(dialect, name, u'_');
    names.push_back(name);
    names.emplace_back(row->iso6391);
    if (row->region[0] != 0) {
        name = row->iso6391;
        name.AppendUniChar(u'_');
        name.AppendCString(row->region);
        names.push_back(name);
    }
    name = row->name;
    if (UniChar first = name.GetUniChar(1); first >= u'a' && first <= u'z')
        name.Replace(VString(UniChar(first - u'a' + u'A')), 1, 1);
    names.push_back(name);

    std::vector<std::string> tried;
    for (VString& candidate : names) {
        std::string key = Lower(candidate);
        bool seen = false;
        for (const std::string& earlier : tried)
            seen = seen || earlier == key;
        if (seen)
            continue;
        tried.push_back(key);
        candidate.AppendCString(".lproj/");
        auto folder = VRefPtr<VFolder>::Adopt(new VFolder(parent, candidate, FilePathStyle::Posix));
        if (folder->Exists())
            out.push_back(folder);
    }
}

} // namespace nuvo
