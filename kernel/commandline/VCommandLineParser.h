#pragma once

#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/commandline/StOptionsInfos.h"
#include "kernel/text/VString.h"

namespace nuvo {

// Turns the process's argument vector into values in the application's variables.
//
// The application registers options bound to its variables, paragraphs of help text and at most
// one holder of the plain arguments, in the order the help listing shows them, then calls Parse
// once. Options are registered only when the command line holds more than the program path.
// Parse prints every error on standard error itself and stops at the first one; values accepted
// before it stay in their variables. The parser keeps a reference to args, which must outlive
// it, and owns its options. Main thread only; not thread-safe.
class VCommandLineParser : public VObject {
public:
    // Results of Parse (and of the applications' DoParseCommandLine): go on; stop with failure;
    // stop without failure (the help listing, or the application's version, was printed).
    static constexpr int kParseContinue = 0;
    static constexpr int kParseFailed = 1;
    static constexpr int kParseStopped = 2;

    explicit VCommandLineParser(const std::vector<VString>& args);
    ~VCommandLineParser() override;
    VCommandLineParser(const VCommandLineParser&) = delete;
    VCommandLineParser& operator=(const VCommandLineParser&) = delete;

    // The vector the parser works on; entry 0 is the program path.
    const std::vector<VString>& GetArgs() const { return fInfos.GetArgs(); }

    // An option bound to target; shortName blank (or 0) for none, longName empty for none. Flags
    // (bool) take no value; the others require one.
    void AddOption(UniChar shortName, const VString& longName, bool& target, const VString& description,
                   bool hidden = false);
    void AddOption(UniChar shortName, const VString& longName, int& target, const VString& description,
                   bool hidden = false);
    void AddOption(UniChar shortName, const VString& longName, VString& target, const VString& description,
                   bool hidden = false);
    // The holder of the non-option arguments (appended to target). A second call replaces the first.
    void AddArguments(std::vector<VString>& target);
    // A paragraph of the help listing; added even when options are not.
    void AddParagraph(const VString& text);
    // Destroys every option, paragraph and the holder.
    void Clear();

    // A value given as "-" is replaced by all of standard input (read once). Off by default.
    void SetReadingStandardInput(bool read) { fInfos.SetReadingStandardInput(read); }

    // kParseContinue: all arguments processed; kParseFailed: an error was printed;
    // kParseStopped: the help listing was printed.
    [[nodiscard]] int Parse();

    // The "OPTIONS" section of a manual page, appended to out.
    void ExportAsManPage(VString* out) const;
    // The arguments and the options as a JSON document (out is replaced).
    void ExportAsJSON(VString* out) const;
    // ExportAsJSON's document and a newline on standard error or output; flushed.
    void PrintAllArguments(bool toStandardError) const;

    // text in UTF-8, then a newline, on standard output; flushed.
    static void Print(const VString& text);
    // The same on standard error; returns 1.
    static int PrintArgumentError(const VString& text);

    // Long names: empty, or 2 or more of a-z, 0-9 and '-', not starting or ending with '-'.
    [[nodiscard]] static bool ValidateLongOptionName(const VString& name);
    // Short names: blank or 0 (none), an ASCII letter or a digit.
    [[nodiscard]] static bool ValidateShortOptionName(UniChar name);

    const Private::CommandLineParser::StOptionsInfos& GetOptionsInfos() const { return fInfos; }

private:
    Private::CommandLineParser::StOptionsInfos fInfos;
};

} // namespace nuvo
