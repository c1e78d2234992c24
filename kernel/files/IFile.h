#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/base/VTypes.h"
#include "kernel/files/IFileSystemObject.h"
#include "kernel/text/CharSet.h"

namespace nuvo {

class VMemoryBuffer;
class VString;

// A file as the layers above the file system see it (JSON, XML, localization): content in and
// out, size, existence. Failures push records on the current error context and return the
// code. Implementations are immutable handles and may be used from any task.
class IFile : public IFileSystemObject {
public:
    virtual bool Exists() const = 0;
    virtual VError GetSize(int64_t* outSize) const = 0;
    // The whole content; an empty file gives an empty buffer.
    virtual VError GetContent(VMemoryBuffer& outBuffer) const = 0;
    // Up to size bytes from the start; outRead receives the count.
    virtual VError GetData(void* buffer, size_t size, size_t* outRead) const = 0;
    // Replaces the content (the parent folder is created when missing).
    virtual VError SetContent(const void* data, size_t size) const = 0;
    virtual VError AppendContent(const void* data, size_t size) const = 0;
    virtual bool IsWritable() const = 0;

    // Reads the content decoded from set (a byte-order mark wins over set) with its line ends
    // converted to mode. Runs under its own error context and returns its last error; text is
    // empty after a failure.
    VError GetContentAsString(VString& text, CharSet set, ECarriageReturnMode mode) const;
    // Writes text encoded in set after converting its line ends to mode, the set's byte-order
    // mark first when withBOM is true and the set has one. 'nuvo' 208 when set has no
    // converter. Runs under its own error context and returns its last error.
    VError SetContentAsString(const VString& text, CharSet set, ECarriageReturnMode mode, bool withBOM) const;

protected:
    ~IFile() override = default;
};

} // namespace nuvo
