// The command-line parser's conversion of an option's text into a VJSONValue.

#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "kernel/commandline/Argument.h"
#include "kernel/errors/StErrorContextInstaller.h"

namespace nuvo::Extension::CommandLineParser {

bool Argument<VJSONValue>::Append(VCommandLineParser&, VJSONValue& out, const VString& text)
{
    switch (out.GetType()) {
    case JSON_string:
        out.SetString(text);
        return true;
    case JSON_object:
    case JSON_undefined: {
        // The parser reports the rejection itself: the JSON records would only repeat it.
        StErrorContextInstaller quiet(false, false);
        VJSONValue parsed;
        if (VJSONImporter::ParseString(text, parsed) != VE_OK)
            return false;
        out = parsed;
        return true;
    }
    case JSON_false:
    case JSON_true:
        for (const char* word : {"1", "true", "on"}) {
            if (text.EqualToString(VString(word), false)) {
                out.SetBool(true);
                return true;
            }
        }
        for (const char* word : {"0", "false", "off"}) {
            if (text.EqualToString(VString(word), false)) {
                out.SetBool(false);
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

} // namespace nuvo::Extension::CommandLineParser
