// Decoding UTF-8, UTF-16 and UTF-32 (both byte orders, with or without a byte-order mark) into a
// VString, and encoding it back.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzToolkit.h"
#include "kernel/text/VString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace nuvo;
    fuzz::InitToolkitOnce();
    if (size < 1)
        return 0;
    static const CharSet kSets[] = {CharSet::UTF8, CharSet::UTF16, CharSet::UTF16_BigEndian, CharSet::UTF32,
                                    CharSet::UTF32_BigEndian, CharSet::UTF32_Raw, CharSet::UTF32_Raw_Swapped,
                                    CharSet::StdLib};
    const CharSet set = kSets[data[0] % (sizeof(kSets) / sizeof(kSets[0]))];
    const bool withBOM = (data[0] & 0x80) != 0;
    fuzz::StDropErrors drop;
    VString text;
    if (withBOM)
        (void)text.FromBlockWithOptionalBOM(data + 1, size - 1, set);
    else
        text.FromBlock(data + 1, size - 1, set);
    const size_t room = size_t(text.GetLength()) * 4 + 16;
    std::vector<uint8_t> back(room);
    for (CharSet target : {set, CharSet::UTF8, CharSet::UTF16_BigEndian, CharSet::UTF32})
        (void)text.ToBlock(back.data(), back.size(), target, true, (data[0] & 0x40) != 0);
    VString appended("x");
    appended.AppendBlock(data + 1, size - 1, set);
    return 0;
}
