#pragma once
#include <optional>
#include <string>

namespace nuvo::test {

// Sets (or, with std::nullopt, unsets) one environment variable for a scope and restores the
// previous state on destruction. Not thread-safe: tests that use it must not run threads that
// read the environment meanwhile.
class StEnvVar {
public:
    StEnvVar(const char* name, std::optional<std::string> value);
    ~StEnvVar();
    StEnvVar(const StEnvVar&) = delete;
    StEnvVar& operator=(const StEnvVar&) = delete;

private:
    std::string fName;
    std::optional<std::string> fPrevious;
};

} // namespace nuvo::test
