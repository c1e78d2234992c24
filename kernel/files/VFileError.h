#pragma once

#include <functional>

#include "kernel/errors/VErrorBase.h"
#include "kernel/files/VFilePath.h"
#include "kernel/values/StPackedDictionaryKey.h"

namespace nuvo {

class IFileSystemObject;
class VValueBag;

// The parameters of file errors, as the localized messages name them.
namespace FileErrorKeys {
inline constexpr StPackedDictionaryKey name("name");
inline constexpr StPackedDictionaryKey path("path");
inline constexpr StPackedDictionaryKey destination("destination");
inline constexpr StPackedDictionaryKey options("options");
inline constexpr StPackedDictionaryKey access("access");
} // namespace FileErrorKeys

// An error record about one file or folder: keeps its path and puts "name" (the last component)
// and "path" (the native full path) into the parameter bag at construction. Reference counted
// like every record; not thread-safe.
class VFileError : public VErrorBase {
public:
    VFileError(const IFileSystemObject* object, VError code);
    VFileError(const VFilePath& path, VError code);

    const VFilePath& GetFilePath() const { return fFilePath; }

    // True for the operating systems' components ('POSX', 'MACH', 'CARB', 'COCO'), even with
    // number 0 (which converts to the fallback).
    static bool IsNativeError(VError code);

    // Reports a platform result for the file or folder at path: 0 is success and returns 0. A
    // native error is converted to a toolkit code (fallback when the native map does not know
    // it), a record with that code and the caller's extra parameters is pushed after the native
    // error itself (its cause), and the record's code is returned. Any other code is returned
    // as it is and nothing is pushed.
    static VError ThrowNative(const VFilePath& path, VError platformResult, VError fallback,
                              const std::function<void(VValueBag&)>& addParameters = {});

protected:
    ~VFileError() override = default;

private:
    void _SetParameters();

    VFilePath fFilePath;
};

} // namespace nuvo
