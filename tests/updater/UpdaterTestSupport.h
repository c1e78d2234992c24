#pragma once
// Helpers of the updater tests: bundles made on disk, their manifests, and the error records a
// run leaves.

#include <string>
#include <utility>
#include <vector>

#include "kernel/base/VTypes.h"

namespace nuvo {
class VErrorContext;
}

namespace nuvo::test {

// One line per entry below root, sorted: relative path, type, permission bits, then the size
// and content hash of a file or the target of a link. Equal manifests mean equal trees.
std::string Manifest(const std::string& root);

// A sample application bundle at path (made with its parents): Contents/Info.plist naming the
// executable "Client", Contents/MacOS/Client, a shell script that appends one line to
// record (its arguments, each in brackets) and exits, plus a version file, a link and a
// read-only file so that copies are checked on contents, links and modes.
void MakeSampleBundle(const std::string& path, const std::string& version, const std::string& record);

// The code and one text parameter (empty when missing) of each record, oldest first.
std::vector<std::pair<VError, std::string>> CodesWith(const VErrorContext& context, const char* key);

inline VError UpdaterError(int number) { return MakeVError(MakeOsType("UPQZ"), number); }

} // namespace nuvo::test
