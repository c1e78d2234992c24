#pragma once

#include "kernel/files/VFSObjectIterator.h"

namespace nuvo {

class VFile;

// The files (regular files and symbolic links) of one folder; folders are never returned (bit 2
// of options is cleared). See VFSObjectIterator.
class VFileIterator : public VFSObjectIterator<VFile> {
public:
    explicit VFileIterator(const VFolder* folder, unsigned options = FileIteratorOptions::kFiles)
        : VFSObjectIterator<VFile>(folder, options & ~FileIteratorOptions::kFolders)
    {
    }
};

} // namespace nuvo
