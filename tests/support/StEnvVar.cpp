#include "tests/support/StEnvVar.h"

#include <cstdlib>

namespace nuvo::test {

StEnvVar::StEnvVar(const char* name, std::optional<std::string> value) : fName(name)
{
    if (const char* old = ::getenv(name))
        fPrevious = old;
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

StEnvVar::~StEnvVar()
{
    if (fPrevious)
        ::setenv(fName.c_str(), fPrevious->c_str(), 1);
    else
        ::unsetenv(fName.c_str());
}

} // namespace nuvo::test
