#include "kernel/files/VFileError.h"

#include <new>

#include "kernel/errors/ErrorThrowing.h"
#include "kernel/files/IFileSystemObject.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

VFileError::VFileError(const IFileSystemObject* object, VError code)
    : VErrorBase(code)
    , fFilePath(object ? object->GetPath() : VFilePath())
{
    _SetParameters();
}

VFileError::VFileError(const VFilePath& path, VError code) : VErrorBase(code), fFilePath(path)
{
    _SetParameters();
}

void VFileError::_SetParameters()
{
    VString name;
    fFilePath.GetName(name);
    GetBag()->SetString(FileErrorKeys::name, name);
    GetBag()->SetString(FileErrorKeys::path, fFilePath.GetPath());
}

bool VFileError::IsNativeError(VError code)
{
    OsType component = ComponentOf(code);
    return component == kComponentPosix || component == kComponentMach || component == kComponentCarbon
        || component == kComponentCocoa;
}

VError VFileError::ThrowNative(const VFilePath& path, VError platformResult, VError fallback,
                               const std::function<void(VValueBag&)>& addParameters)
{
    if (platformResult == VE_OK || !IsNativeError(platformResult))
        return platformResult;
    VError code = VErrorBase::EncodedNativeErrorToVError(platformResult, fallback);
    VFileError* error = new (std::nothrow) VFileError(path, code);
    if (!error)
        return code;
    if (addParameters)
        addParameters(*error->GetBag());
    _PushRetainedError(error, platformResult);
    return code;
}

} // namespace nuvo
