#pragma once

#include <utility>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/text/VString.h"

namespace nuvo {

class IFile;
class VFile;
class VFolder;

// A bundle's information dictionary: the string values of the top-level <dict> of an XML
// property list ("Contents/Info.plist" in a bundle). Values of other kinds and nested
// dictionaries and arrays are left out. Loading pushes the file and XML errors on the current
// context. Not thread-safe; immutable once loaded.
class VInfoPlist : public VObject {
public:
    // False when the file cannot be read, is not well-formed or has no top-level dictionary.
    [[nodiscard]] bool LoadFromFile(IFile& file);
    // bundle's "Contents/Info.plist".
    [[nodiscard]] bool LoadFromBundle(const VFolder& bundle);

    // The text of key's <string> value; false (out unchanged) when there is none.
    bool GetString(const VString& key, VString& out) const;

    // The file that "CFBundleExecutable" names in bundle's "Contents/MacOS", when the bundle's
    // Info.plist names a plain file name there and that file exists (retained for the caller);
    // null otherwise. Pushes no error.
    static VFile* RetainBundleExecutable(const VFolder& bundle);

private:
    std::vector<std::pair<VString, VString>> fStrings;
};

} // namespace nuvo
