#include "tests/support/StTempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <filesystem>

namespace nuvo::test {

StTempFolder::StTempFolder()
{
    const char* tmp = ::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nuvo-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
    fPath = pattern;
}

StTempFolder::~StTempFolder()
{
    if (fPath.empty())
        return;
    // Tests make read-only folders on purpose: give every folder u+rwx back before removing.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             fPath, std::filesystem::directory_options::none, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(fPath.c_str(), 0700);
    std::filesystem::remove_all(fPath, ec);
}

void WriteFile(const std::string& path, const std::string& content, unsigned mode)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << "cannot write " << path;
    out << content;
    out.close();
    ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace nuvo::test
