#include <gtest/gtest.h>

#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/files/VFileStream.h"
#include "kernel/values/VBagArray.h"
#include "tests/xml/XMLTestSupport.h"
#include "tests/kernel/files/FileTestSupport.h"
#include "xml/XMLBagFiles.h"

namespace nuvo::test {
namespace {

class XMLBagFiles : public ::testing::Test {
protected:
    StTempFolder fTemp;
    std::string P(const std::string& relative) const { return fTemp / relative; }

    // Two attributes that need escaping, a text child and two children of one name, one nested.
    static VRefPtr<VValueBag> Sample()
    {
        auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
        bag->SetString(StPackedDictionaryKey("q"), VString("a<b>&\"c'"));
        bag->SetBool(StPackedDictionaryKey("on"), true);
        for (const char* text : {"one", "two ]]> three"}) {
            auto child = VRefPtr<VValueBag>::Adopt(new VValueBag);
            child->SetString(StPackedDictionaryKey("n"), VString(text));
            child->SetCData(VString(text));
            bag->AddElement(StPackedDictionaryKey("item"), child.Get());
        }
        auto inner = VRefPtr<VValueBag>::Adopt(new VValueBag);
        inner->SetString(StPackedDictionaryKey("deep"), VString("\xc3\xa9"));
        auto first = VRefPtr<VValueBag>::Adopt(bag->GetElements(StPackedDictionaryKey("item"))->RetainNth(1));
        first->AddElement(StPackedDictionaryKey("sub"), inner.Get());
        return bag;
    }
};

TEST_F(XMLBagFiles, FileBytesAreTheDeclarationAndTheBag)
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(StPackedDictionaryKey("a"), VString("x&y"));
    bag->SetBool(StPackedDictionaryKey("b"), false);
    ASSERT_EQ(WriteBagToFileInXML(*bag, VString("root"), FileAt(P("out.xml")).Get(), false), VError(0));
    EXPECT_EQ(ReadFile(P("out.xml")), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root a=\"x&amp;y\" b=\"false\"/>");
    EXPECT_EQ(WriteBagToFileInXML(*bag, VString("root"), nullptr, false), VError(0));
}

TEST_F(XMLBagFiles, WrittenAndReadBack)
{
    VRefPtr<VValueBag> bag = Sample();
    for (bool indented : {false, true}) {
        SCOPED_TRACE(indented ? "indented" : "flat");
        ASSERT_EQ(WriteBagToFileInXML(*bag, VString("root"), FileAt(P("bag.xml")).Get(), indented), VError(0));
        auto read = VRefPtr<VValueBag>::Adopt(new VValueBag);
        EXPECT_EQ(LoadBagFromXML(*FileAt(P("bag.xml")), VString("root"), *read), VError(0));
        // Booleans come back as text: XML has no types.
        EXPECT_EQ(BagText(*read), BagText(*bag));
    }

    auto read = VRefPtr<VValueBag>::Adopt(new VValueBag);
    StErrorContextInstaller errors(true, true);
    EXPECT_EQ(LoadBagFromXML(*FileAt(P("bag.xml")), VString("other"), *read), MakeVError(MakeOsType("xmlc"), 1));
    EXPECT_TRUE(read->IsEmpty());
    EXPECT_EQ(BagText(*errors.GetContext()->GetLast()->GetBag()), "<p name=\"other\"/>");
    errors.GetContext()->Flush();
}

TEST_F(XMLBagFiles, StreamRoundTrip)
{
    VRefPtr<VValueBag> bag = Sample();
    WriteFile(P("bag.stream"), "");
    VRefPtr<VFile> file = FileAt(P("bag.stream"));
    {
        VFileStream stream(file.Get());
        ASSERT_EQ(stream.OpenWriting(), VError(0));
        ASSERT_EQ(WriteBagToStreamInXML(*bag, VString("root"), stream), VError(0));
        ASSERT_EQ(stream.Close(), VError(0));
    }
    std::string bytes = ReadFile(P("bag.stream"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(uint32_t(uint8_t(bytes[0]) | uint8_t(bytes[1]) << 8) * 2 + 4, bytes.size());
    EXPECT_EQ(bytes.substr(4, 6), std::string("<\0?\0x\0", 6));

    VFileStream stream(file.Get());
    ASSERT_EQ(stream.OpenReading(), VError(0));
    auto read = VRefPtr<VValueBag>::Adopt(new VValueBag);
    EXPECT_EQ(ReadBagFromStreamInXML(*read, stream), VError(0));
    EXPECT_EQ(BagText(*read), BagText(*bag));

    // A count larger than what follows ends at the end of the file, without a huge allocation.
    WriteFile(P("short.stream"), std::string("\xff\xff\xff\x7f<\0", 6));
    VFileStream shortStream(FileAt(P("short.stream")).Get());
    ASSERT_EQ(shortStream.OpenReading(), VError(0));
    EXPECT_NE(ReadBagFromStreamInXML(*read, shortStream), VError(0));
}

} // namespace
} // namespace nuvo::test
