// The JSON parser in both modes and with every option bit, on UTF-8 text. Whatever parses is
// written, and the text written must parse again, strictly, and settle.

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzToolkit.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace nuvo;
    fuzz::InitToolkitOnce();
    if (size < 1)
        return 0;
    // The first byte picks the options: strict, undefined on error, no records, recorded
    // lines and the date readers.
    const uint8_t selector = data[0];
    unsigned int options = selector & 0x0F;
    if (selector & 0x10)
        options |= kJSONOptionWithDates | kJSONOptionDatesCompanion;
    if (selector & 0x20)
        options |= kJSONOptionNonAmbiguousDates;
    if (selector & 0x40)
        options |= kJSONOptionISODates;
    fuzz::StDropErrors drop;
    VString text(data + 1, size - 1, CharSet::UTF8);
    VJSONImporter importer(text, options);
    VJSONValue value;
    VError error = importer.Parse(value);
    VString written;
    const unsigned int writeOptions = (selector & 0x80) ? (kJSONWriteQuoted | kJSONWriteIndented) : kJSONWriteQuoted;
    VError writeError = value.Stringify(written, writeOptions);
    if (error == VE_OK && writeError == VE_OK && !(options & (kJSONOptionWithDates | kJSONOptionISODates))) {
        // Numbers are written with 14 significant digits, so the first text may read back as
        // another number (888888888888888.888 is written 8.8888888888889E+14, which reads back
        // as a whole number); from the second writing on the text must not change.
        VString second, third;
        VJSONValue again, last;
        if (VJSONImporter::ParseString(written, again, kJSONOptionStrict) != VE_OK)
            __builtin_trap();
        (void)again.Stringify(second, writeOptions);
        if (VJSONImporter::ParseString(second, last, kJSONOptionStrict) != VE_OK)
            __builtin_trap();
        (void)last.Stringify(third, writeOptions);
        if (!third.EqualToStringRaw(second))
            __builtin_trap();
    }
    // The conversions walk the whole value too.
    VString converted;
    (void)value.GetString(converted);
    (void)value.GetNumber();
    return 0;
}
