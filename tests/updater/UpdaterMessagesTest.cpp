#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/files/VFolder.h"
#include "updater/UpdaterErrors.h"
#include "xml/VLocalizationManager.h"

namespace nuvo::test {
namespace {

using Names = std::set<std::string>;

Names Placeholders(const std::string& text)
{
    Names names;
    static const std::regex placeholder("\\{([A-Za-z]+)\\}");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// The messages shipped in the bundle: one per code the updater can show, in English and French,
// each naming exactly the parameters its error record carries.
TEST(UpdaterMessages, EveryCodeHasItsTextInEachLanguage)
{
    const Names path{"path"};
    struct Row { VError code; Names parameters; };
    const Row rows[] = {
        {VE_UPDATER_WAIT_FAILED, {}}, {VE_UPDATER_UPTODATE_APP_NOT_FOUND, path},
        {VE_UPDATER_OUTDATED_APP_NOT_FOUND, path}, {VE_UPDATER_CANNOT_SET_ASIDE, {"srcPath", "dstPath"}},
        {VE_UPDATER_CANNOT_CREATE_INSTALL_PARENT, path}, {VE_UPDATER_COPY_FAILED, {"from", "to"}},
        {VE_UPDATER_UPTODATE_INSIDE_OUTDATED, path}, {VE_UPDATER_BAD_CLIENT_INFO, {}},
        {VE_UPDATER_INSTALL_FAILED, {}}, {VE_UPDATER_LOG_NOT_STARTED, {}}, {VE_UPDATER_RESTART_FAILED, {}},
        {VE_UNKNOWN_ERROR, {}}, {VE_INIT_FAILED, {}}, {VE_ACCESS_DENIED, path}, {VE_USER_CANCELLED, {}},
        {VE_TIMEOUT_KILLED, {}}, {VE_MEMORY_FULL, {}}, {VE_STRING_ALLOC_FAILED, {}}, {VE_STREAM_EOF, {}},
        {VE_STREAM_NO_FILE, {}}, {VE_STREAM_NO_CONVERTER, {}}, {VE_CONVERSION_FAILED, {}},
        {VE_RESOURCE_NOT_FOUND, {}}, {VE_FILE_NOT_FOUND, path}, {VE_FILE_CANNOT_RENAME, path},
        {VE_FILE_CANNOT_OPEN, path}, {VE_FILE_CANNOT_DELETE, path}, {VE_FILE_CANNOT_COPY, {"path", "destination"}},
        {VE_FILE_CANNOT_MOVE, path}, {VE_FILE_CANNOT_CREATE, path}, {VE_FILE_CANNOT_GET_ATTRIBUTES, path},
        {VE_FILE_CANNOT_SET_ATTRIBUTES, path}, {VE_FILE_CANNOT_CREATE_ALIAS, path},
        {VE_FILE_CANNOT_RESOLVE_ALIAS, path}, {VE_FILE_CANNOT_REVEAL, path}, {VE_FILE_BAD_NAME, {"name"}},
        {VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE, path}, {VE_FOLDER_NOT_FOUND, path}, {VE_FOLDER_NOT_EMPTY, path},
        {VE_FOLDER_CANNOT_CREATE, path}, {VE_FOLDER_CANNOT_DELETE, path}, {VE_FOLDER_CANNOT_GET_ATTRIBUTES, path},
        {VE_FOLDER_CANNOT_SET_ATTRIBUTES, path}, {VE_FOLDER_CANNOT_REVEAL, path},
        {VE_FOLDER_CANNOT_RENAME, {"path", "newname"}}, {VE_DISK_FULL, {}},
        {VE_FOLDER_CANNOT_COPY, {"path", "destination"}}, {VE_FOLDER_CANNOT_MOVE_TO_TRASH, path},
        {MakeNuvoError(550), {"source", "line", "position"}}, {MakeNuvoError(551), {"found", "expected"}},
        {MakeNuvoError(552), {}}, {MakeNuvoError(553), {"token"}}, {MakeNuvoError(554), {"expected"}},
        {MakeNuvoError(900), {}}, {MakeNuvoError(911), {}}, {MakeNuvoError(914), {}}, {MakeNuvoError(916), {}},
        {MakeVError(kComponentXml, 2), {"systemID", "line", "column", "message"}},
        {MakeVError(kComponentXml, 3), {"systemID", "line", "column", "message"}},
    };
    auto bundle = VRefPtr<VFolder>::Adopt(new VFolder(VString(NUVO_UPDATER_BUNDLE "/"), FilePathStyle::Posix));
    auto english = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(1033));
    auto french = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(1036));
    ASSERT_TRUE(english->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get()));
    ASSERT_TRUE(french->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get()));
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(NumberOf(row.code)) + " of " + std::to_string(ComponentOf(row.code)));
        VString en, fr;
        ASSERT_TRUE(english->LocalizeErrorMessage(row.code, en));
        ASSERT_TRUE(french->LocalizeErrorMessage(row.code, fr));
        EXPECT_NE(to_string(en), to_string(fr));
        EXPECT_EQ(Placeholders(to_string(en)), row.parameters) << to_string(en);
        EXPECT_EQ(Placeholders(to_string(fr)), row.parameters) << to_string(fr);
    }
    for (VLocalizationManager* manager : {english.Get(), french.Get()}) {
        VString text;
        ASSERT_TRUE(manager->LocalizeStringWithKey(VString("MoreInformationsAvailableInLogFile"), text));
        EXPECT_EQ(Placeholders(to_string(text)), Names{"LogFilePath"});
    }
}

} // namespace
} // namespace nuvo::test
