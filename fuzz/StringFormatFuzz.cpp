// VString::Format with a bag: the input is split at the first 0 byte into a template and the
// attributes' text ("name=value" lines).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzToolkit.h"
#include "kernel/text/VString.h"
#include "kernel/values/StPackedDictionaryKey.h"
#include "kernel/values/VValueBag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace nuvo;
    fuzz::InitToolkitOnce();
    if (size < 1)
        return 0;
    const bool removeUnknown = (data[0] & 1) != 0;
    const char* begin = reinterpret_cast<const char*>(data + 1);
    const char* end = begin + size - 1;
    const char* split = static_cast<const char*>(std::memchr(begin, 0, size_t(end - begin)));
    if (split == nullptr)
        split = end;
    fuzz::StDropErrors drop;
    VValueBag* bag = new VValueBag();
    const std::string attributes(split == end ? end : split + 1, end);
    size_t start = 0;
    while (start < attributes.size()) {
        size_t line = attributes.find('\n', start);
        if (line == std::string::npos)
            line = attributes.size();
        const std::string entry = attributes.substr(start, line - start);
        const size_t equal = entry.find('=');
        if (equal != std::string::npos && equal > 0) {
            const std::string name = entry.substr(0, equal);
            const std::string value = entry.substr(equal + 1);
            bag->SetString(StPackedDictionaryKey(name.data(), name.size()),
                           VString(value.data(), value.size(), CharSet::UTF8));
        }
        start = line + 1;
    }
    VString text(begin, size_t(split - begin), CharSet::UTF8);
    text.Format(bag, removeUnknown);
    bag->Release();
    return 0;
}
