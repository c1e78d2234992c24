// Client customization: the server link file written into the up-to-date bundle, and the
// bundle's executable made executable.

#include "updater/VUpdateEngine.h"

#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/VValueBag.h"
#include "updater/StartupParametersBagKeys.h"
#include "updater/UpdaterErrors.h"
#include "xml/VInfoPlist.h"
#include "xml/XMLBagFiles.h"

namespace nuvo {

namespace {

// A property of another kind counts as missing.
bool GetStringProperty(const VJSONObject& object, const char* name, VString& out)
{
    const VJSONValue* value = object.GetPropertyRef(VString(name));
    if (!value || !value->IsString())
        return false;
    out = *value->GetStringRef();
    return true;
}

} // namespace

bool VUpdateEngine::_FinishClientCustomization()
{
    StErrorContextInstaller errors(true, true);
    VJSONValue clientInfo;
    {
        auto file = VRefPtr<VFile>::Adopt(new VFile(fClientInfoFile));
        clientInfo.LoadFromFile(file.Get(), false);
    }
    VString platform;
    if (!clientInfo.IsObject() || !GetStringProperty(*clientInfo.GetObject(), "ServerPlatform", platform)) {
        _ThrowError(VE_UPDATER_BAD_CLIENT_INFO);
        return false;
    }
    (void) _SetIPAdressOnClientPref(*clientInfo.GetObject(), fUpToDateApplication);
    (void) _FinishMacClientCustomization(*clientInfo.GetObject());
    return errors.GetLastError() == VE_OK;
}

bool VUpdateEngine::_SetIPAdressOnClientPref(const VJSONObject& clientInfo, const VFilePath& uptodateBundle)
{
    VString serverPath;
    if (!GetStringProperty(clientInfo, "BuildIPAdress", serverPath))
        return true;
    VString port;
    if (GetStringProperty(clientInfo, "BuildIPPort", port))
        serverPath.AppendPrintf(":%S", &port);
    VString databaseName, cacheFolderName;
    (void) GetStringProperty(clientInfo, "PublishName", databaseName);
    (void) GetStringProperty(clientInfo, "BuildCacheFolderNameClient", cacheFolderName);

    VFilePath folderPath = uptodateBundle;
    folderPath.ToSubFolder(VString("Contents")).ToSubFolder(VString("Database"));
    auto folder = VRefPtr<VFolder>::Adopt(new VFolder(folderPath));
    // A failure here shows as the write's error below.
    if (!folder->Exists())
        (void) folder->CreateRecursive(false);

    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetBool(StartupParametersBagKeys::is_remote, true);
    bag->SetString(StartupParametersBagKeys::server_database_name, databaseName);
    bag->SetString(StartupParametersBagKeys::server_path, serverPath);
    bag->SetString(StartupParametersBagKeys::cache_folder_name, cacheFolderName);
    bag->SetBool(StartupParametersBagKeys::remote_shared_resources, false);

    auto file = VRefPtr<VFile>::Adopt(new VFile(*folder, VString("EnginedServer.QZlink")));
    (void) WriteBagToFileInXML(*bag, VString("database_shortcut"), file.Get(), false);
    return true;
}

bool VUpdateEngine::_FinishMacClientCustomization(const VJSONObject&)
{
    StErrorContextInstaller errors(true, true);
    auto bundle = VRefPtr<VFolder>::Adopt(new VFolder(fUpToDateApplication));
    auto executable = VRefPtr<VFile>::Adopt(VInfoPlist::RetainBundleExecutable(*bundle));
    if (!executable)
        return true;
    constexpr uint16_t kExecuteBits = 0111;
    uint16_t mode = 0;
    if (executable->MAC_GetPermissions(&mode) == VE_OK && (mode & kExecuteBits) != kExecuteBits)
        (void) executable->MAC_SetPermissions(uint16_t(mode | kExecuteBits));
    return errors.GetLastError() == VE_OK;
}

} // namespace nuvo
