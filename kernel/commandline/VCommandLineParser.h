#pragma once

#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/text/VString.h"

namespace nuvo {

// Turns the process's argument vector into values in the application's variables.
//
// This version knows the argument holder only: Parse hands every non-option argument to it,
// treats "--" as the end of the options and rejects any other argument that begins with '-'.
// Errors are printed on standard error by Parse itself. The parser keeps a reference to args,
// which must outlive it. Used on the main thread during start-up only; not thread-safe.
class VCommandLineParser : public VObject {
public:
    explicit VCommandLineParser(const std::vector<VString>& args);
    ~VCommandLineParser() override = default;
    VCommandLineParser(const VCommandLineParser&) = delete;
    VCommandLineParser& operator=(const VCommandLineParser&) = delete;

    // The vector the parser works on; entry 0 is the program path.
    const std::vector<VString>& GetArgs() const { return fArgs; }

    // The holder of the non-option arguments (appended to target). Ignored when the command line
    // holds nothing but the program path. A second call replaces the first.
    void AddArguments(std::vector<VString>& target);

    // 0: all arguments processed; 1: an error was printed.
    [[nodiscard]] int Parse();

    // text in UTF-8, then a newline, on standard output; flushed.
    static void Print(const VString& text);
    // The same on standard error; returns 1.
    static int PrintArgumentError(const VString& text);

private:
    const std::vector<VString>& fArgs;
    std::vector<VString>* fArgumentHolder = nullptr;
    bool fRegistrationEnabled;
};

} // namespace nuvo
