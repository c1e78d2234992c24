#pragma once
// Option bits of the folder iterators and of VFolder::Iterate.

namespace nuvo::FileIteratorOptions {

inline constexpr unsigned kFolders = 2;       // return folders
inline constexpr unsigned kFiles = 4;         // return files (regular files and symbolic links)
inline constexpr unsigned kInvisible = 8;     // also return names beginning with '.'
inline constexpr unsigned kResolveLinks = 16; // return a link's target instead of the link; skip dangling links
inline constexpr unsigned kForDeletion = 32;  // with kFiles, also FIFOs, sockets and devices (so that they can be deleted)

} // namespace nuvo::FileIteratorOptions
