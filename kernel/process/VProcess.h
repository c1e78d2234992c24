#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "kernel/base/VObject.h"
#include "kernel/logging/EMessageLevel.h"
#include "kernel/process/IMessageable.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFolder;
class VLogger;
class ILocalizer;
class VIntlMgr;
class VFileSystemNamespace;
class VJSONClassStore;
class VResourceFile;
class VJSONClass;
class VTask;

// The argument vector exactly as the entry point received it (not copied).
extern int sProcessCommandLineArgc;
extern char** sProcessCommandLineArgv;

// A system version value as the version check understands it (14 is the oldest system the
// toolkit supports; other values are older).
using SystemVersion = int32_t;
inline constexpr SystemVersion kSystemVersionMinimum = 14;

// Flags of Init.
inline constexpr uint32_t kProcessInitFlagStored = 2;         // kept, read by nobody here
inline constexpr uint32_t kProcessInitWithLogger = 16;        // create and start the process logger
inline constexpr uint32_t kProcessInitWithFileSystemNotifier = 64;

// Folder kinds of RetainFolder.
inline constexpr uint32_t kFolderBundle = MakeOsType("BNDL");
inline constexpr uint32_t kFolderExecutable = MakeOsType("EXEC");
inline constexpr uint32_t kFolderContents = MakeOsType("PLST");
inline constexpr uint32_t kFolderResources = MakeOsType("RSRC");
inline constexpr uint32_t kFolderNativeComponents = MakeOsType("NCMP");
inline constexpr uint32_t kFolderDTDs = MakeOsType("DTDs");
inline constexpr uint32_t kFolderXSDs = MakeOsType("XSDs");
inline constexpr uint32_t kFolderXSLs = MakeOsType("XSLs");
inline constexpr uint32_t kFolderJSONSchemas = MakeOsType("JSNs");

// The one process object of a program. It switches the toolkit's services on in a fixed order
// (Init, once; the result is cached), knows the program's bundle, name and version, owns the
// process logger, the intl manager, the file-system namespace and the JSON class store, and runs
// the application on the main task (Run). A failed Init leaves the steps already done in place;
// the destructor switches off what was switched on.
//
// Init, Run, DoRun and DoQuit belong to the main task. QuitAsynchronously and IsRunning may be
// called from any thread; QuitAsynchronously is also called from signal handlers and therefore
// takes no lock and allocates nothing.
class VProcess : public VObject, public virtual IMessageable {
public:
    VProcess();
    ~VProcess() override;
    VProcess(const VProcess&) = delete;
    VProcess& operator=(const VProcess&) = delete;

    static VProcess* Get() { return sInstance.load(std::memory_order_acquire); }

    [[nodiscard]] virtual bool Init(uint32_t flags);
    virtual void QuitAsynchronously(const VString* reason = nullptr);
    // No resource file on this platform: null.
    virtual VResourceFile* RetainResourceFile();
    // A new folder for kind (see the kFolder constants), or null for an unknown kind or when the
    // executable's location cannot be found. The caller releases it.
    [[nodiscard]] virtual VFolder* RetainFolder(uint32_t kind) const;
    // The product name.
    virtual VString GetLogSourceIdentifier() const { return GetProductName(); }
    virtual const VJSONClass* GetClassObject(const VString& className, const VString& storeName) const;

    // Runs the application once on the main task: DoRun then DoQuit, then the main task dies.
    void Run();
    // True while the main task exists and is not dying.
    bool IsRunning() const;

    bool IsInitCalled() const { return fInitCalled; }
    uint32_t GetInitFlags() const { return fInitFlags; }

    VLogger* GetLogger() const { return fLogger; }
    // The process logger when it would log level, else null.
    VLogger* GetLogger(EMessageLevel level) const;
    ILocalizer* GetLocalizer() const { return fLocalizer; }
    void SetLocalizer(ILocalizer* localizer) { fLocalizer = localizer; }
    VIntlMgr* GetIntlMgr() const { return fIntlMgr; }
    VFileSystemNamespace* GetFileSystemNamespace() const { return fFileSystemNamespace; }
    VJSONClassStore* GetJSONClassStore() const { return fJSONClassStore; }

    // "CFBundleName" and "CFBundleShortVersionString" of the main bundle's Info.plist, read on
    // first use (so that a program that never asks does not start the XML library); the values
    // compiled into the program when there is no bundle or the file does not say.
    const VString& GetProductName() const;
    const VString& GetProductVersion() const;

    // The folder kinds for an executable at executablePath (a full POSIX path of a file), as
    // RetainFolder computes them; an empty text for an unknown kind. Exposed for tests.
    static VString ComputeFolderPath(const VString& executablePath, uint32_t kind);

protected:
    virtual void DoRun() {}
    virtual void DoQuit() {}
    // True when the system is version or later; otherwise tells the user and answers false.
    [[nodiscard]] virtual bool DoCheckSystemVersion(SystemVersion version);
    // The cached result of the whole initialisation as the most derived level stored it.
    virtual bool IsInitSucceeded() const { return fInitOK; }

private:
    bool _Init(uint32_t flags);
    bool _CheckInstallFolder();
    bool _InitFileSystemNamespace();
    void _DeInit();
    // The running executable's full POSIX path; empty when it cannot be found.
    static VString _ExecutablePath();

    static std::atomic<VProcess*> sInstance;

    // The main task, retained from task-manager start-up to shut-down. Signal handlers reach it
    // through this atomic because the task manager's own accessor takes a lock.
    std::atomic<VTask*> fMainTask{nullptr};

    bool fInitCalled = false;
    bool fInitOK = false;
    VIntlMgr* fIntlMgr = nullptr;
    ILocalizer* fLocalizer = nullptr;
    VFileSystemNamespace* fFileSystemNamespace = nullptr;
    void _LoadBundleInfo() const;

    mutable std::once_flag fBundleInfoLoaded;
    mutable VString fProductName;
    mutable VString fProductVersion;
    VLogger* fLogger = nullptr;
    VJSONClassStore* fJSONClassStore = nullptr;
    uint32_t fInitFlags = 0;
    // Which services Init switched on, so that de-initialisation switches off only those.
    uint32_t fServicesOn = 0;
};

} // namespace nuvo
