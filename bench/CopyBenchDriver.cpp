// Driver of bench/copy-bench: makes the synthetic bundle and copies a folder with
// VFolder::CopyTo, the way the updater copies an application bundle.
//
//   copy_bench_driver generate DIR FILES MEGABYTES   make a bundle of about FILES files
//   copy_bench_driver copy SOURCE DESTINATION        copy SOURCE to DESTINATION (must not exist)

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/text/VString.h"

namespace {

using nuvo::VFolder;
using nuvo::VRefPtr;
using nuvo::VString;

VRefPtr<VFolder> FolderFromPosix(std::string path)
{
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return VRefPtr<VFolder>::Adopt(new VFolder(nuvo::VFilePath::FromPosixBytes(path)));
}

int Copy(const std::string& source, const std::string& destination)
{
    std::string dst = destination;
    while (dst.size() > 1 && dst.back() == '/')
        dst.pop_back();
    size_t slash = dst.rfind('/');
    if (slash == std::string::npos) {
        std::fprintf(stderr, "copy: the destination must be an absolute path\n");
        return 2;
    }
    std::string parentPath = slash == 0 ? "/" : dst.substr(0, slash);
    std::string nameBytes = dst.substr(slash + 1);
    VString name;
    name.FromBlock(nameBytes.data(), nameBytes.size(), nuvo::CharSet::UTF8);
    VRefPtr<VFolder> from = FolderFromPosix(source);
    VRefPtr<VFolder> parent = FolderFromPosix(parentPath);
    nuvo::VError error = from->CopyTo(*parent, name, nullptr, nuvo::FileCopyOptions::kReplaceExisting);
    if (error != 0) {
        std::fprintf(stderr, "copy failed: %.4s %d\n",
            std::string{char(nuvo::ComponentOf(error) >> 24), char(nuvo::ComponentOf(error) >> 16),
                char(nuvo::ComponentOf(error) >> 8), char(nuvo::ComponentOf(error))}
                .c_str(),
            nuvo::NumberOf(error));
        return 1;
    }
    return 0;
}

// xorshift: fast, deterministic file content that does not compress or deduplicate.
struct Random {
    uint64_t state;
    uint64_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

bool WriteFile(const std::string& path, uint64_t size, Random& random, std::vector<uint64_t>& block)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    uint64_t left = size;
    while (left > 0) {
        for (uint64_t& word : block)
            word = random.Next();
        size_t chunk = size_t(std::min<uint64_t>(left, block.size() * sizeof(uint64_t)));
        if (std::fwrite(block.data(), 1, chunk, out) != chunk) {
            std::fclose(out);
            return false;
        }
        left -= chunk;
    }
    return std::fclose(out) == 0;
}

// A bundle shaped like a desktop application: a few large binaries and resource packs, many
// small resources in nested folders, framework version links.
int Generate(const std::string& root, long files, long megabytes)
{
    Random random{0x9E3779B97F4A7C15ull};
    std::vector<uint64_t> block(8192);
    const uint64_t total = uint64_t(megabytes) * 1024 * 1024;
    const int largeCount = 4;
    const uint64_t largeSize = total * 3 / 4 / largeCount;
    const long smallCount = files - largeCount;
    const uint64_t smallBudget = total - largeSize * largeCount;
    const uint64_t smallAverage = smallCount > 0 ? smallBudget / uint64_t(smallCount) : 0;

    auto makeFolder = [](const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; };
    const std::string contents = root + "/Contents";
    for (const std::string& path : {root, contents, contents + "/MacOS", contents + "/Resources",
             contents + "/Frameworks"}) {
        if (!makeFolder(path))
            return 1;
    }
    for (int i = 0; i < largeCount; ++i) {
        std::string path = i == 0 ? contents + "/MacOS/Client" : contents + "/Resources/pack" + std::to_string(i) + ".dat";
        if (!WriteFile(path, largeSize, random, block))
            return 1;
        if (i == 0)
            ::chmod(path.c_str(), 0755);
    }
    // 40 frameworks, each Versions/A with nested resource folders, Current and top-level links.
    long made = largeCount;
    int framework = 0;
    while (made < files) {
        const std::string fw = contents + "/Frameworks/Lib" + std::to_string(framework) + ".framework";
        const std::string version = fw + "/Versions/A";
        if (!makeFolder(fw) || !makeFolder(fw + "/Versions") || !makeFolder(version) || !makeFolder(version + "/Resources"))
            return 1;
        ::symlink("A", (fw + "/Versions/Current").c_str());
        ::symlink(("Versions/Current/Lib" + std::to_string(framework)).c_str(), (fw + "/Lib" + std::to_string(framework)).c_str());
        ::symlink("Versions/Current/Resources", (fw + "/Resources").c_str());
        for (int group = 0; group < 10 && made < files; ++group) {
            const std::string folder = version + "/Resources/group" + std::to_string(group);
            if (!makeFolder(folder) || !makeFolder(folder + "/lproj"))
                return 1;
            for (int i = 0; i < 25 && made < files; ++i, ++made) {
                // Sizes from a few hundred bytes to about twice the average.
                uint64_t size = 256 + random.Next() % (2 * smallAverage + 1);
                std::string path = folder + (i % 5 == 0 ? "/lproj/" : "/") + "item" + std::to_string(i) + ".res";
                if (!WriteFile(path, size, random, block))
                    return 1;
            }
        }
        ++framework;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "generate") == 0)
        return Generate(argv[2], std::atol(argv[3]), std::atol(argv[4]));
    if (argc == 4 && std::strcmp(argv[1], "copy") == 0)
        return Copy(argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s generate DIR FILES MEGABYTES | copy SOURCE DESTINATION\n", argv[0]);
    return 2;
}
