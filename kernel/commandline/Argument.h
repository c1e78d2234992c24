#pragma once

#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VCommandLineParser;
class VFile;
class VFilePath;
class VFolder;
class VJSONValue;

namespace Extension::CommandLineParser {

// Conversions of one command-line value into a variable of type T. Append returns false when
// the text is not a value of that type; out is then left alone, except for the path kinds,
// which keep what they could make of the text (see below). Stateless; thread-safe.
template <class T> struct Argument;

// "1" or "true" (any case or accents), "0" or "false".
template <> struct Argument<bool> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, bool& out, const VString& text);
};

// 1 to 29 digits and signs once the surrounding white space is dropped, read with base 0
// (010 is 8, 08 is rejected), within the type's range.
template <> struct Argument<int> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, int& out, const VString& text);
};
template <> struct Argument<unsigned int> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, unsigned int& out, const VString& text);
};
template <> struct Argument<long long> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, long long& out, const VString& text);
};
template <> struct Argument<unsigned long long> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, unsigned long long& out, const VString& text);
};

// Appends the text as a new last entry; always accepted.
template <> struct Argument<std::vector<VString>> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, std::vector<VString>& out, const VString& text);
};

// The canonical full path of the text (a folder path when it names a folder). When the path
// cannot be resolved, out holds the text itself and the result is false; an empty text clears
// out and fails.
template <> struct Argument<VFilePath> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, VFilePath& out, const VString& text);
};

// An existing file (a link is replaced by what it designates) or folder; cleared on rejection.
template <> struct Argument<VRefPtr<VFile>> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, VRefPtr<VFile>& out, const VString& text);
};
template <> struct Argument<VRefPtr<VFolder>> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, VRefPtr<VFolder>& out, const VString& text);
};

// Depends on the value's current kind: a string takes the text, an object or undefined value
// parses it as JSON, a boolean takes 1/true/on or 0/false/off; any other kind rejects. Defined
// by the JSON layer.
template <> struct Argument<VJSONValue> {
    [[nodiscard]] static bool Append(VCommandLineParser& parser, VJSONValue& out, const VString& text);
};

} // namespace Extension::CommandLineParser
} // namespace nuvo
