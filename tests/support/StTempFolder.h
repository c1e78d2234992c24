#pragma once
#include <string>

namespace nuvo::test {

// A fresh folder under $TMPDIR (or /tmp) for one test, removed with everything in it on
// destruction, read-only sub-folders included. Not thread-safe; one per test.
class StTempFolder {
public:
    StTempFolder();
    ~StTempFolder();
    StTempFolder(const StTempFolder&) = delete;
    StTempFolder& operator=(const StTempFolder&) = delete;

    // The folder's path, without a trailing '/'.
    const std::string& Path() const { return fPath; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return fPath + "/" + relative; }

private:
    std::string fPath;
};

// Writes bytes to a file (created or replaced); the parent must exist. Fails the test on error.
void WriteFile(const std::string& path, const std::string& content, unsigned mode = 0644);
// Whole content of a file; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);

} // namespace nuvo::test
