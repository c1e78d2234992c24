#pragma once
// Which program a bundle folder starts: its Contents/Info.plist's CFBundleExecutable, else the
// bundle's name without its extension.

#include <string>

namespace nuvo {

// The CFBundleExecutable string of the property list text, entities decoded; empty when the key
// is missing, its value is not a string, or the name could leave Contents/MacOS. Reads only the
// key/string pairs of the top-level dictionary, which is all a bundle's Info.plist needs.
std::string ReadBundleExecutableName(const std::string& plistText);

// The full path of the executable inside bundlePath (a folder path without a trailing '/').
std::string BundleExecutablePath(const std::string& bundlePath);

} // namespace nuvo
