#pragma once

#include <string>
#include <vector>

#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/values/VValueBag.h"

namespace nuvo::test {

// Codes spelled from their signature, not from the toolkit's constants.
inline VError Nuvo(int32_t n) { return MakeVError(MakeOsType("nuvo"), n); }

// A record as "<number> name=value|name=value" (parameters in their order), so that a table
// row shows the code and the exact parameters together.
inline std::string RecordText(const VErrorBase& record)
{
    std::string text = std::to_string(NumberOf(record.GetError()));
    const VValueBag* bag = record.GetBag();
    for (int32_t i = 1; i <= bag->GetAttributesCount(); ++i) {
        VString name, value;
        bag->GetNthAttribute(i, &name)->GetString(value);
        text += (i == 1 ? " " : "|") + to_string(name) + "=" + to_string(value);
    }
    return text;
}

inline std::vector<std::string> RecordsOf(const StErrorContextInstaller& errors)
{
    std::vector<std::string> records;
    for (const VRefPtr<VErrorBase>& record : errors.GetContext()->GetErrorStack())
        records.push_back(RecordText(*record));
    return records;
}

// Compact quoted text of a value, as UTF-8.
inline std::string Json(const VJSONValue& value, unsigned int options = kJSONWriteQuoted)
{
    VString text;
    (void)value.Stringify(text, options);
    return to_string(text);
}

inline VString U8(const std::string& text)
{
    return VString(text.data(), text.size(), CharSet::UTF8);
}

struct ParseOutcome {
    VError result;
    std::string value;   // Json() of what the parse stored
    std::vector<std::string> records;
};

inline ParseOutcome ParseText(const VString& text, unsigned int options)
{
    StErrorContextInstaller errors;
    VJSONValue value;
    VError result = VJSONImporter::ParseString(text, value, options);
    ParseOutcome outcome{result, Json(value), RecordsOf(errors)};
    errors.GetContext()->Flush();
    return outcome;
}

} // namespace nuvo::test
