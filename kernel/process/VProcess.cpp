#include "kernel/process/VProcess.h"

#include <map>
#include <string>

#include "kernel/base/VErrorCodes.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VDebugMgr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/files/VFilePath.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFileDesc.h"
#include "kernel/files/VFolder.h"
#include "kernel/logging/VLogger.h"
#include "kernel/platform/XLinuxSystem.h"
#include "kernel/system/VSystem.h"
#include "kernel/process/VTask.h"
#include "kernel/process/VTaskMgr.h"
#include "kernel/text/VIntlMgr.h"
#include "xml/VInfoPlist.h"

#ifndef QZ_PRODUCT_NAME
#define QZ_PRODUCT_NAME ""
#endif
#ifndef QZ_PRODUCT_VERSION
#define QZ_PRODUCT_VERSION ""
#endif

namespace nuvo {

int sProcessCommandLineArgc = 0;
char** sProcessCommandLineArgv = nullptr;

std::atomic<VProcess*> VProcess::sInstance{nullptr};

// The services below are switched on and off by the process object only; none of them has
// behaviour this program relies on yet, so they are the smallest objects that can take part in
// the start-up and shut-down order.

// Named folders ("file systems") that other parts of the toolkit resolve paths against.
class VFileSystemNamespace {
public:
    // False for a name already taken or a path that is not a valid folder path.
    bool RegisterFileSystem(const VString& name, const VFilePath& folder)
    {
        if (!folder.IsValid() || !folder.IsFolder())
            return false;
        std::string key = to_string(name);
        if (fFolders.count(key) != 0)
            return false;
        fFolders.emplace(std::move(key), folder);
        return true;
    }

    // The definitions themselves are not interpreted yet; a file that cannot be opened fails
    // (the open's error stays on the task's context). A bundle may ship the file as a link.
    bool LoadDefinitions(const VFile& file)
    {
        VFileDesc* desc = nullptr;
        if (file.Open(FileAccess::Read, &desc, FileOpenOptions::kFollowLink) != VE_OK)
            return false;
        delete desc;
        return true;
    }

private:
    std::map<std::string, VFilePath> fFolders;
};

// The store of the JSON classes known to the process.
class VJSONClassStore {
public:
    explicit VJSONClassStore(const VString& name) : fName(name) {}
    bool AddRootClasses() { return true; }

private:
    VString fName;
};

namespace {

// Bits of VProcess::fServicesOn, one per service that de-initialisation must switch off.
enum : uint32_t {
    kServiceTaskMgr = 1u << 0,
    kServiceErrorLayer = 1u << 1,
    kServiceDebugMgr = 1u << 2,
};

// The one place where the frame tells the user why it cannot start. Without a desktop nothing
// can be shown, and the exit code alone tells.
void DisplayInitializationFailure(const VString& message)
{
    (void)VSystem::DisplayNotification(VString("Initialization failed"), message, 0);
}

} // namespace

VProcess::VProcess()
    : fFileSystemNamespace(new VFileSystemNamespace)
    , fProductName(QZ_PRODUCT_NAME)
    , fProductVersion(QZ_PRODUCT_VERSION)
{
}

const VString& VProcess::GetProductName() const
{
    std::call_once(fBundleInfoLoaded, [this] { _LoadBundleInfo(); });
    return fProductName;
}

const VString& VProcess::GetProductVersion() const
{
    std::call_once(fBundleInfoLoaded, [this] { _LoadBundleInfo(); });
    return fProductVersion;
}

// The Info.plist lies in the executable's parent folder (a bundle's Contents). Its errors are
// dropped: a program run outside a bundle keeps the compiled-in values.
void VProcess::_LoadBundleInfo() const
{
    VRefPtr<VFolder> contents = VRefPtr<VFolder>::Adopt(RetainFolder(kFolderContents));
    if (!contents)
        return;
    StErrorContextInstaller quiet(false, true);
    auto file = VRefPtr<VFile>::Adopt(new VFile(*contents, VString("Info.plist")));
    if (!file->Exists())
        return;
    VInfoPlist plist;
    if (!plist.LoadFromFile(*file))
        return;
    VString text;
    if (plist.GetString(VString("CFBundleName"), text) && !text.IsEmpty())
        fProductName = text;
    if (plist.GetString(VString("CFBundleShortVersionString"), text) && !text.IsEmpty())
        fProductVersion = text;
}

VProcess::~VProcess()
{
    if (fInitCalled)
        _DeInit();
    delete fFileSystemNamespace;
    fFileSystemNamespace = nullptr;
}

bool VProcess::Init(uint32_t flags)
{
    if (fInitCalled)
        return fInitOK;
    fInitCalled = true;
    fInitOK = _Init(flags);
    return fInitOK;
}

bool VProcess::_Init(uint32_t flags)
{
    bool versionOK = DoCheckSystemVersion(kSystemVersionMinimum);

    sInstance.store(this, std::memory_order_release);
    fInitFlags = flags & kProcessInitFlagStored;
    if (!versionOK)
        return false;

    fIntlMgr = new VIntlMgr;

    // The file layer, the file kinds and the resource files need no start-up on this platform.

    if (!_CheckInstallFolder())
        return false;

    if (!VTaskMgr::Init(this))
        return false;
    fServicesOn |= kServiceTaskMgr;
    fMainTask.store(RetainRefCountable(VTaskMgr::Get()->GetMainTask()), std::memory_order_release);

    if (!VErrorBase::Init())
        return false;
    fServicesOn |= kServiceErrorLayer;
    if (!VDebugMgr::Get()->Init())
        return false;
    fServicesOn |= kServiceDebugMgr;

    if (!_InitFileSystemNamespace())
        return false;

    fJSONClassStore = new VJSONClassStore(VString("qz"));
    if (!fJSONClassStore->AddRootClasses())
        return false;

    if (flags & kProcessInitWithLogger) {
        fLogger = new VLogger;
        fLogger->Start();
    }
    return true;
}

bool VProcess::_CheckInstallFolder()
{
    // Case-sensitive file systems are the norm on Linux and the toolkit never relies on case
    // folding by the volume, so there is nothing to refuse here.
    return true;
}

bool VProcess::_InitFileSystemNamespace()
{
    std::string home;
    if (XLinuxSystem::GetHomeDirectory(home)) {
        if (home.empty() || home.back() != '/')
            home.push_back('/');
        VFilePath homePath(VString(home.c_str()), FilePathStyle::Posix);
        if (!fFileSystemNamespace->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), homePath))
            return false;
    }

    auto resources = VRefPtr<VFolder>::Adopt(RetainFolder(kFolderResources));
    if (!resources || !resources->Exists())
        return true;
    if (!fFileSystemNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), resources->GetPathRef()))
        return false;

    auto definitions = VRefPtr<VFile>::Adopt(new VFile(*resources, VString("fileSystems.json"), FilePathStyle::Posix));
    if (!definitions->Exists())
        return true;
    return fFileSystemNamespace->LoadDefinitions(*definitions);
}

void VProcess::_DeInit()
{
    VProcess* expected = this;
    sInstance.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);

    // The logger's "Logger" task must end while the task manager still knows it.
    if (fLogger)
        fLogger->Stop();
    // Each layer goes before the ones it was built on.
    if (fServicesOn & kServiceDebugMgr) {
        VDebugMgr::Get()->DeInit();
        fServicesOn &= ~kServiceDebugMgr;
    }
    if (fServicesOn & kServiceErrorLayer) {
        VErrorBase::DeInit();
        fServicesOn &= ~kServiceErrorLayer;
    }
    if (fServicesOn & kServiceTaskMgr) {
        // A signal arriving from here on finds no main task and does nothing.
        VTask* mainTask = fMainTask.exchange(nullptr, std::memory_order_acq_rel);
        VTaskMgr::DeInit();
        ReleaseRefCountable(&mainTask);
        fServicesOn &= ~kServiceTaskMgr;
    }

    delete fIntlMgr;
    fIntlMgr = nullptr;

    if (fLogger) {
        fLogger->Stop();
        ReleaseRefCountable(&fLogger);
    }
    delete fJSONClassStore;
    fJSONClassStore = nullptr;
    // ICU is not cleaned up (u_cleanup): collators cached by the text layer outlive the process
    // object.
}

bool VProcess::DoCheckSystemVersion(SystemVersion version)
{
    if (VSystem::IsSystemVersionOrAbove(version))
        return true;
    VString message(version == kSystemVersionMinimum ? "This application needs at least OS X 10.12"
                                                     : "This application needs at least OS X 10.7");
    DisplayInitializationFailure(message);
    return false;
}

void VProcess::Run()
{
    VTask* mainTask = VTaskMgr::Get()->GetMainTask();
    if (!mainTask || VTask::GetCurrent() != mainTask)
        return;
    if (mainTask->GetState() != VTask::kStateRunning)
        return;

    bool initOK = fInitCalled ? IsInitSucceeded() : Init(kProcessInitWithLogger | kProcessInitWithFileSystemNotifier);
    if (!initOK) {
        VString reason("VApplication::DoInit failed");
        _ThrowError(VE_INIT_FAILED, &reason);
        return;
    }

    mainTask->FlushErrors();
    // Messaging of the IMessageable part would start here; this program sends no messages.
    DoRun();
    DoQuit();
    mainTask->Kill();
}

bool VProcess::IsRunning() const
{
    VTask* mainTask = fMainTask.load(std::memory_order_acquire);
    return mainTask && mainTask->GetState() < VTask::kStateDying;
}

void VProcess::QuitAsynchronously(const VString*)
{
    // Called from signal handlers: no lock, no allocation, no virtual call of the task
    // (DoPrepareToDie is not signal-safe in general).
    if (VTask* mainTask = fMainTask.load(std::memory_order_acquire))
        mainTask->KillFromSignalHandler();
}

VLogger* VProcess::GetLogger(EMessageLevel level) const
{
    return (fLogger && fLogger->ShouldLog(level)) ? fLogger : nullptr;
}

VResourceFile* VProcess::RetainResourceFile()
{
    return nullptr;
}

const VJSONClass* VProcess::GetClassObject(const VString&, const VString&) const
{
    return nullptr;
}

VString VProcess::_ExecutablePath()
{
    std::string path;
    if (!XLinuxSystem::GetExecutablePath(path))
        return VString();
    return VString(path.c_str());
}

VString VProcess::ComputeFolderPath(const VString& executablePath, uint32_t kind)
{
    VFilePath executable(executablePath, FilePathStyle::Posix);
    if (!executable.IsValid() || !executable.IsFile())
        return VString();

    VFilePath folder;
    VFilePath contents;
    VFilePath resources;
    bool hasExecutableFolder = executable.GetParent(folder);
    bool hasContents = hasExecutableFolder && folder.GetParent(contents);
    if (hasContents) {
        resources = contents;
        resources.ToSubFolder(VString("Resources"));
    }

    VFilePath result;
    switch (kind) {
    case kFolderExecutable:
        if (hasExecutableFolder)
            result = folder;
        break;
    case kFolderContents:
        if (hasContents)
            result = contents;
        break;
    case kFolderBundle:
        if (hasContents)
            contents.GetParent(result);
        break;
    case kFolderResources:
        if (hasContents)
            result = resources;
        break;
    case kFolderNativeComponents:
        if (hasContents) {
            result = contents;
            result.ToSubFolder(VString("Native Components"));
        }
        break;
    case kFolderDTDs:
    case kFolderXSDs:
    case kFolderXSLs:
    case kFolderJSONSchemas:
        if (hasContents) {
            result = resources;
            result.ToSubFolder(VString(kind == kFolderDTDs ? "DTD"
                                       : kind == kFolderXSDs ? "XSD"
                                       : kind == kFolderXSLs ? "XSL"
                                                             : "JSONSchemas"));
        }
        break;
    default:
        break;
    }
    VString text;
    if (result.IsValid())
        result.GetPosixPath(text);
    return text;
}

VFolder* VProcess::RetainFolder(uint32_t kind) const
{
    VString path = ComputeFolderPath(_ExecutablePath(), kind);
    if (path.IsEmpty())
        return nullptr;
    return new VFolder(VFilePath(path, FilePathStyle::Posix));
}

} // namespace nuvo
