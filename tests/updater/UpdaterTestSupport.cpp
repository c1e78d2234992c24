#include "tests/updater/UpdaterTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/files/FileTestSupport.h"

namespace nuvo::test {

std::string Manifest(const std::string& root)
{
    namespace fs = std::filesystem;
    std::set<std::string> lines;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string path = it->path().string();
        struct stat st = LinkStat(path);
        std::string line = path.substr(root.size()) + " " + std::to_string(st.st_mode & 0170000) + " "
            + std::to_string(st.st_mode & 07777);
        if (S_ISREG(st.st_mode)) {
            const std::string content = ReadFile(path);
            line += " " + std::to_string(content.size()) + " " + std::to_string(std::hash<std::string>{}(content));
        } else if (S_ISLNK(st.st_mode)) {
            line += " -> " + LinkTarget(path);
        }
        lines.insert(line);
    }
    EXPECT_FALSE(error) << root << ": " << error.message();
    std::string manifest;
    for (const std::string& line : lines)
        manifest += line + "\n";
    return manifest;
}

void MakeSampleBundle(const std::string& path, const std::string& version, const std::string& record)
{
    MakeTree(path, {"Contents/", "Contents/MacOS/", "Contents/Resources/", "Contents/Resources/version=" + version,
                    "Contents/Resources/current->version"});
    WriteFile(path + "/Contents/Info.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>CFBundleExecutable</key>\n\t<string>Client</string>\n"
        "\t<key>CFBundleShortVersionString</key>\n\t<string>" + version + "</string>\n</dict>\n</plist>\n");
    WriteFile(path + "/Contents/MacOS/Client",
        "#!/bin/sh\n# version " + version + "\nline=\"" + version + "\"\nfor a in \"$@\"; do line=\"$line [$a]\"; done\n"
        "echo \"$line\" >> '" + record + "'\n", 0755);
    WriteFile(path + "/Contents/Resources/readonly", "r", 0444);
}

std::vector<std::pair<VError, std::string>> CodesWith(const VErrorContext& context, const char* key)
{
    std::vector<std::pair<VError, std::string>> codes;
    for (const auto& record : context.GetErrorStack()) {
        VString text;
        record->GetBag()->GetString(StPackedDictionaryKey(key), text);
        codes.emplace_back(record->GetError(), to_string(text));
    }
    return codes;
}

} // namespace nuvo::test
