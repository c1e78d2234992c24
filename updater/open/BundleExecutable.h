#pragma once
// Which program a bundle folder starts.

#include <string>

namespace nuvo {

// The executable inside bundlePath (a folder path without a trailing '/'): the file that its
// Contents/Info.plist's CFBundleExecutable names in Contents/MacOS when that file exists, else
// Contents/MacOS/ followed by the bundle's name without its extension.
std::string BundleExecutablePath(const std::string& bundlePath);

} // namespace nuvo
