#pragma once
// Helpers shared by the folder, copy, trash and delete tests: building trees on disk, reading
// them back, and running a body in a child process as an unprivileged user or with private
// mounts.

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <sys/stat.h>

namespace nuvo::test {

// Builds entries in order, each relative to root (made first, with its missing parents): "a/" a folder
// (0755), "a/f=text" a file holding text (0644), "l->target" a symbolic link. Fails the test on
// error.
void MakeTree(const std::string& root, std::initializer_list<std::string> entries);
// mkdir / symlink / chmod / utimensat (on the link itself) that fail the current test on error.
void MakeFolder(const std::string& path, unsigned mode = 0755);
void MakeLink(const std::string& target, const std::string& path);
void SetMode(const std::string& path, unsigned mode);
void SetTimes(const std::string& path, struct timespec accessed, struct timespec modified);
// lstat of path; a zeroed stat (st_mode 0) when it does not exist.
struct stat LinkStat(const std::string& path);
bool EntryExists(const std::string& path);
std::string LinkTarget(const std::string& path);
std::string RealPath(const std::string& path);
// Names in folder (without "." and ".."), sorted.
std::set<std::string> NamesIn(const std::string& folder);
// Every path below root, relative to it, folders with a trailing '/', sorted.
std::set<std::string> TreeOf(const std::string& root);

// Exit code of the child helpers below when the environment does not allow the test.
inline constexpr int kUnprivilegedUnavailable = 99;

// Runs body in a forked child and returns its exit code (-1 when it did not exit normally).
// When the test runs as root, the child first becomes uid/gid 65534 (nobody) with no
// supplementary groups, so permission bits are enforced for it; otherwise it keeps the
// caller's identity. The body must not use gtest assertions: it reports through its result.
int RunUnprivileged(const std::function<int()>& body);
// The same in a child with its own mount namespace (through a user namespace when the test is
// not root), mounts kept private so that nothing reaches the machine's.
int RunWithPrivateMounts(const std::function<int()>& body);

// Opens the temporary folder (and so everything the test puts in it) to the unprivileged child.
// Returns false when a parent folder cannot be searched by others.
bool ShareWithUnprivileged(const std::string& folder);

} // namespace nuvo::test
