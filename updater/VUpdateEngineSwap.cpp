// The swap: the outdated bundle set aside under a free sibling name, the up-to-date bundle copied
// into its place, and the rollback when that fails.
//
// The copy is made first into a hidden staging sibling of the install path (same file system),
// flushed, and renamed into place only after the outdated bundle was set aside, so that a crash,
// a kill or a power cut never leaves a half-copied bundle at the install path: at any instant it
// holds the complete old bundle or the complete new one (or, between the two renames, nothing,
// with the old bundle complete under its temporary name).

#include <cstdio>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/process/VTask.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"
#include "updater/UpdaterErrors.h"
#include "updater/VUpdateEngine.h"

namespace nuvo {

namespace {

constexpr int kLastCounter = 9999;
constexpr int kRenameAttempts = 5;
constexpr int32_t kRenameRetryDelay = 3000;

VRefPtr<VFolder> NewFolder(const VFilePath& path)
{
    return VRefPtr<VFolder>::Adopt(new VFolder(path));
}

VString NameOf(const VFilePath& path)
{
    VString name;
    path.GetName(name);
    return name;
}

// ".Client.app.staging" beside "Client.app": hidden, and found again by the next run.
VFilePath StagingPathFor(const VFilePath& install)
{
    VFilePath staging(install);
    VString name(".");
    name.AppendString(NameOf(install));
    name.AppendCString(".staging");
    staging.SetName(name);
    return staging;
}

void PushWithPaths(VError code, std::initializer_list<std::pair<const char*, const VFilePath*>> params)
{
    VErrorBase* error = new VErrorBase(code);
    for (const auto& [key, path] : params)
        error->GetBag()->SetString(StPackedDictionaryKey(key), path->GetPath());
    _PushRetainedError(error);
}

void PushCopyFailed(const VFolder& uptodate, const VFolder& install)
{
    PushWithPaths(VE_UPDATER_COPY_FAILED, {{"from", &uptodate.GetPathRef()}, {"to", &install.GetPathRef()}});
}

} // namespace

bool VUpdateEngine::_ComputeTempFolderPath(const VFilePath& source, VFilePath& outPath, const VString* suffix)
{
    bool isFree = false;
    for (int counter = 1; counter <= kLastCounter && !isFree; ++counter) {
        outPath = source;
        VString name;
        source.GetFolderName(name, false);
        if (suffix != nullptr && !suffix->IsEmpty()) {
            name.AppendUniChar(u'_');
            name.AppendString(*suffix);
        }
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04d", counter);
        name.AppendCString(digits);
        outPath.SetFolderName(name, false);
        isFree = !NewFolder(outPath)->Exists();
    }
    return isFree;
}

void VUpdateEngine::_RemoveLeftoverStaging()
{
    auto staging = NewFolder(StagingPathFor(fInstallPath));
    if (staging->Exists()) {
        LogInfo("Removing the staging folder of an interrupted update");
        // A failure stays in the context and stops the update before anything changed.
        (void) staging->DeleteForced();
    }
}

VFolder* VUpdateEngine::_SwapApplications(VFolder& outdated, VFolder& uptodate, VFolder& install)
{
    if (outdated.IsSameFolder(&uptodate) || uptodate.GetPathRef().IsChildOf(outdated.GetPathRef())) {
        PushWithPaths(VE_UPDATER_UPTODATE_INSIDE_OUTDATED, {{"path", &outdated.GetPathRef()}});
        return nullptr;
    }

    VFilePath tempPath;
    const VString suffix("old");
    (void) _ComputeTempFolderPath(outdated.GetPathRef(), tempPath, &suffix);
    const VString newName = NameOf(tempPath);
    const VString installName = NameOf(install.GetPathRef());

    // Stage the copy when a sibling can be made; otherwise (the parent is missing or not
    // writable) the plain order below reports the errors of the rename and the copy themselves.
    auto parent = VRefPtr<VFolder>::Adopt(install.RetainParentFolder());
    auto staging = NewFolder(StagingPathFor(install.GetPathRef()));
    bool staged = false;
    if (parent && parent->Exists()) {
        StErrorContextInstaller probe(false, true);  // a refused mkdir only selects the plain order
        staged = staging->Create() == VE_OK;
    }
    if (staged) {
        if (uptodate.CopyTo(*parent, NameOf(staging->GetPathRef()), nullptr, FileCopyOptions::kReplaceExisting) != VE_OK
            || staging->FlushFileSystem() != VE_OK) {
            PushCopyFailed(uptodate, install);
            LogInfo("Rolling back up-to-date application install");
            if (staging->Exists())
                (void) staging->DeleteForced();
            return nullptr;
        }
    }

    VFolder* setAside = nullptr;
    (void) outdated.Rename(newName, &setAside);
    for (int attempt = 1; setAside == nullptr && attempt < kRenameAttempts; ++attempt) {
        VErrorBase* retry = new VErrorBase(VE_UPDATER_CANNOT_SET_ASIDE);
        retry->GetBag()->SetString(StPackedDictionaryKey("srcPath"), outdated.GetPathRef().GetPath());
        retry->GetBag()->SetString(StPackedDictionaryKey("dstPath"), tempPath.GetPath());
        VTask::Sleep(kRenameRetryDelay);
        (void) outdated.Rename(newName, &setAside);
        _PushRetainedError(retry);
    }
    if (setAside == nullptr) {
        if (staged)
            (void) staging->DeleteForced();
        return nullptr;
    }

    bool installed = false;
    if (staged) {
        installed = staging->Rename(installName) == VE_OK;
        if (installed)
            (void) parent->Flush();  // the two renames survive a power cut
        else
            PushCopyFailed(uptodate, install);
    } else if (!parent || (!parent->Exists() && parent->CreateRecursive(false) != VE_OK)) {
        VFilePath parentPath;
        install.GetPathRef().GetParent(parentPath);
        PushWithPaths(VE_UPDATER_CANNOT_CREATE_INSTALL_PARENT, {{"path", &parentPath}});
    } else if (uptodate.CopyTo(*parent, installName, nullptr, FileCopyOptions::kReplaceExisting) != VE_OK) {
        PushCopyFailed(uptodate, install);
    } else {
        installed = true;
    }
    if (installed)
        return setAside;

    LogInfo("Rolling back up-to-date application install");
    if (install.Exists())
        (void) install.Delete(true);
    if (staged && staging->Exists())
        (void) staging->DeleteForced();
    (void) setAside->Rename(NameOf(outdated.GetPathRef()));
    setAside->Release();
    return nullptr;
}

} // namespace nuvo
