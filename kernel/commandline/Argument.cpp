#include "kernel/commandline/Argument.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

#include "kernel/files/VFile.h"
#include "kernel/files/VFilePath.h"
#include "kernel/files/VFolder.h"
#include "kernel/platform/XPosixCommandLine.h"
#include "kernel/text/FileNameText.h"

namespace nuvo::Extension::CommandLineParser {

namespace {

// Long enough for any 64-bit number in any base with signs; longer texts are not numbers.
constexpr size_t kMaxIntegerTextLength = 29;

bool IsBlank(UniChar unit)
{
    return unit < 0x80 && std::isspace(int(unit));
}

// The text between the white space around it, when it is only digits and signs.
bool GetIntegerText(const VString& text, std::string& out)
{
    int32_t first = 1;
    int32_t last = text.GetLength();
    while (first <= last && IsBlank(text.GetUniChar(first)))
        ++first;
    while (last >= first && IsBlank(text.GetUniChar(last)))
        --last;
    if (last < first || size_t(last - first + 1) > kMaxIntegerTextLength)
        return false;
    out.clear();
    for (int32_t i = first; i <= last; ++i) {
        UniChar unit = text.GetUniChar(i);
        if ((unit < u'0' || unit > u'9') && unit != u'+' && unit != u'-')
            return false;
        out.push_back(char(unit));
    }
    return true;
}

template <class Wide> Wide Convert(const char* text, char** end);
template <> long Convert<long>(const char* text, char** end) { return std::strtol(text, end, 0); }
template <> unsigned long Convert<unsigned long>(const char* text, char** end) { return std::strtoul(text, end, 0); }
template <> long long Convert<long long>(const char* text, char** end) { return std::strtoll(text, end, 0); }
template <> unsigned long long Convert<unsigned long long>(const char* text, char** end)
{
    return std::strtoull(text, end, 0);
}

// Wide is the standard library's conversion type for T. A number that the conversion reads but T
// cannot hold is rejected rather than truncated.
template <class T, class Wide> bool AppendInteger(T& out, const VString& text)
{
    std::string digits;
    if (!GetIntegerText(text, digits))
        return false;
    char* end = nullptr;
    errno = 0;
    Wide value = Convert<Wide>(digits.c_str(), &end);
    if (end == digits.c_str() || *end != '\0' || errno == ERANGE)
        return false;
    if (!std::in_range<T>(value))
        return false;
    out = T(value);
    return true;
}

} // namespace

bool Argument<bool>::Append(VCommandLineParser&, bool& out, const VString& text)
{
    if (text.EqualToUSASCIICString("1") || text.EqualToString(VString("true"), false)) {
        out = true;
        return true;
    }
    if (text.EqualToUSASCIICString("0") || text.EqualToString(VString("false"), false)) {
        out = false;
        return true;
    }
    return false;
}

bool Argument<int>::Append(VCommandLineParser&, int& out, const VString& text)
{
    return AppendInteger<int, long>(out, text);
}

bool Argument<unsigned int>::Append(VCommandLineParser&, unsigned int& out, const VString& text)
{
    return AppendInteger<unsigned int, unsigned long>(out, text);
}

bool Argument<long long>::Append(VCommandLineParser&, long long& out, const VString& text)
{
    return AppendInteger<long long, long long>(out, text);
}

bool Argument<unsigned long long>::Append(VCommandLineParser&, unsigned long long& out, const VString& text)
{
    return AppendInteger<unsigned long long, unsigned long long>(out, text);
}

bool Argument<std::vector<VString>>::Append(VCommandLineParser&, std::vector<VString>& out, const VString& text)
{
    out.push_back(text);
    return true;
}

bool Argument<VFilePath>::Append(VCommandLineParser&, VFilePath& out, const VString& text)
{
    if (text.IsEmpty()) {
        out.Clear();
        return false;
    }
    std::string canonical;
    bool isFolder = false;
    if (!XPosixCommandLine::ResolvePath(FileNameStringToBytes(text), canonical, isFolder)) {
        out.FromFullPath(text, FilePathStyle::Posix);
        return false;
    }
    if (isFolder && canonical.back() != '/')
        canonical.push_back('/');
    out = VFilePath::FromPosixBytes(canonical);
    return true;
}

bool Argument<VRefPtr<VFile>>::Append(VCommandLineParser& parser, VRefPtr<VFile>& out, const VString& text)
{
    // realpath has already replaced a link by the file it designates.
    VFilePath path;
    if (Argument<VFilePath>::Append(parser, path, text) && path.IsFile()) {
        out = VRefPtr<VFile>::Adopt(new VFile(path));
        if (out->Exists())
            return true;
    }
    out.Clear();
    return false;
}

bool Argument<VRefPtr<VFolder>>::Append(VCommandLineParser& parser, VRefPtr<VFolder>& out, const VString& text)
{
    VFilePath path;
    if (Argument<VFilePath>::Append(parser, path, text) && path.IsFolder()) {
        out = VRefPtr<VFolder>::Adopt(new VFolder(path));
        if (out->Exists())
            return true;
    }
    out.Clear();
    return false;
}

} // namespace nuvo::Extension::CommandLineParser
