#include "kernel/files/StFolderLock.h"

#include "kernel/files/VFolder.h"
#include "kernel/platform/XLinuxFolder.h"

namespace nuvo {

StFolderLock::StFolderLock(const VFolder& folder)
{
    if (XLinuxFolder::OpenLocked(folder.GetPosixPathBytes(), &fDescriptor) != VE_OK)
        fDescriptor = -1;
}

StFolderLock::~StFolderLock()
{
    if (fDescriptor >= 0)
        XLinuxFolder::CloseLocked(fDescriptor);
}

} // namespace nuvo
