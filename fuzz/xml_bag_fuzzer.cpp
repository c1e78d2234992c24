// libFuzzer target: arbitrary bytes through the XML parser into a bag, the bag written back as
// XML text and read again, twice. Checks that nothing crashes or leaks and that the round trip
// is stable once the bag's XML form has normalised it (attribute line breaks become blanks on
// reading, white space between elements is dropped).
//
// Build (clang, ASan + UBSan, with the toolkit compiled the same way):
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_BENCH=OFF \
//     -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" && cmake --build build-fuzz --target nuvo
//   clang++ -std=c++20 -I. -fsanitize=fuzzer,address,undefined fuzz/xml_bag_fuzzer.cpp build-fuzz/libnuvo.a \
//     -lxerces-c -licui18n -licuuc -licudata -o build-fuzz/xml_bag_fuzzer
// Run: nice -n 19 build-fuzz/xml_bag_fuzzer -max_total_time=600 -max_len=4096 corpus/

#include <cstdint>
#include <cstdlib>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"
#include "xml/VXMLBagHandler.h"
#include "xml/VXMLParser.h"
#include "xml/XMLBagFiles.h"

using namespace nuvo;

namespace {

VProcess* sProcess = nullptr;

VString Dump(const VValueBag& bag)
{
    VString text;
    bag.DumpXML(text, VString("r"), false);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    sProcess = new VProcess;
    if (!sProcess->Init(0))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StErrorContextInstaller errors(false, true);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    auto handler = VRefPtr<VXMLBagHandler>::Adopt(new VXMLBagHandler(bag.Get()));
    VXMLParser parser;
    // Both option sets that matter: validation off, and automatic with namespaces.
    unsigned options = size > 0 && (data[0] & 1) ? XMLParserOptions::kNamespaces : XMLParserOptions::kValidationNever;
    if (!parser.Parse(data, size, handler.Get(), options))
        return 0;

    // Characters that only XML 1.1 allows make the 1.0 form unreadable: not a fault of ours.
    auto second = VRefPtr<VValueBag>::Adopt(new VValueBag);
    if (LoadBagFromXML(Dump(*bag), VString("r"), *second) != VE_OK)
        return 0;
    VString secondText = Dump(*second);
    auto third = VRefPtr<VValueBag>::Adopt(new VValueBag);
    if (LoadBagFromXML(secondText, VString("r"), *third) != VE_OK || !Dump(*third).EqualToStringRaw(secondText))
        std::abort();
    return 0;
}
