#pragma once
// Helpers of the file, folder, copy, trash and delete tests: trees built on disk and read back,
// toolkit objects for POSIX paths, error records, and bodies run in a child process as an
// unprivileged user or with private mounts. The builders fail the current test on error.

#include <sys/stat.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFolder.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "tests/support/StTempFolder.h"

namespace nuvo::test {

// Builds entries in order below root (made first, with its missing parents): "a/" a folder
// (0755), "a/f=text" a file holding text (0644), "l->target" a symbolic link, "p|" a FIFO.
void MakeTree(const std::string& root, std::initializer_list<std::string> entries);
void MakeFolder(const std::string& path, unsigned mode = 0755);
void MakeLink(const std::string& target, const std::string& path);
void HardLink(const std::string& existing, const std::string& path);
void SetMode(const std::string& path, unsigned mode);
// Times of the entry itself (a link is not followed).
void SetTimes(const std::string& path, struct timespec accessed, struct timespec modified);

// lstat of path; a zeroed stat (st_mode 0) when it does not exist.
struct stat LinkStat(const std::string& path);
// The permission bits (07777) of the entry itself.
unsigned Mode(const std::string& path);
bool EntryExists(const std::string& path);
std::string LinkTarget(const std::string& path);
std::string RealPath(const std::string& path);
// Names in folder (without "." and ".."), sorted.
std::set<std::string> NamesIn(const std::string& folder);
// Every path below root, relative to it, folders with a trailing '/', sorted.
std::set<std::string> TreeOf(const std::string& root);

VFilePath PosixPath(const std::string& text);
VRefPtr<VFile> FileAt(const std::string& posix);
// A folder object for a POSIX path; a trailing '/' is added when missing.
VRefPtr<VFolder> FolderAt(const std::string& posix);
std::string PosixOf(const VFilePath& path);

// The codes of the records of errors, oldest first.
std::vector<VError> Codes(const StErrorContextInstaller& errors);
// A string parameter of the last record of errors; "(none)" when it has none.
std::string LastString(const StErrorContextInstaller& errors, const StPackedDictionaryKey& key);
// A 32-bit parameter of the last record of errors; -12345 when it has none.
int32_t LastLong(const StErrorContextInstaller& errors, const StPackedDictionaryKey& key);

// Exit code of the child runners below when the environment does not allow the test, and when
// a gtest check (of a builder above, say) failed inside the child.
inline constexpr int kUnprivilegedUnavailable = 99;
inline constexpr int kCheckFailedInChild = 98;

// Runs body in a forked child and returns its exit code (-1 when it did not exit normally).
// When the test runs as root, the child first becomes uid/gid 65534 (nobody) with no
// supplementary groups, so permission bits are enforced for it; otherwise it keeps the
// caller's identity. Before that, folder is opened to others (kUnprivilegedUnavailable when one
// of its parents cannot be searched by them). The body reports through its result.
int RunUnprivileged(const std::string& folder, const std::function<int()>& body);
// The same in a child with its own mount namespace (through a user namespace when the test is
// not root), mounts kept private so that nothing reaches the machine's.
int RunWithPrivateMounts(const std::function<int()>& body);

} // namespace nuvo::test
