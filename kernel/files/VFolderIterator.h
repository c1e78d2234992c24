#pragma once

#include "kernel/files/VFSObjectIterator.h"

namespace nuvo {

// The sub-folders of one folder; files are never returned (bit 4 of options is cleared). Without
// FileIteratorOptions::kResolveLinks a link to a folder is a file, not a sub-folder. See
// VFSObjectIterator.
class VFolderIterator : public VFSObjectIterator<VFolder> {
public:
    explicit VFolderIterator(const VFolder* folder, unsigned options = FileIteratorOptions::kFolders)
        : VFSObjectIterator<VFolder>(folder, options & ~FileIteratorOptions::kFiles)
    {
    }
};

} // namespace nuvo
