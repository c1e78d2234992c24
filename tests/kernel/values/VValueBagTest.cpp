#include <string>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"
#include "kernel/values/StBagKeyNoDefault.h"
#include "kernel/values/StBagKeyWithDefault.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {
namespace {

using BagRef = VRefPtr<VValueBag>;

BagRef NewBag()
{
    return BagRef::Adopt(new VValueBag);
}

std::string Attr(const VValueBag& bag, const StPackedDictionaryKey& key)
{
    VString out;
    return bag.GetString(key, out) ? to_string(out) : "<absent>";
}

std::string Xml(const VValueBag& bag, const char* name, bool indented)
{
    VString out;
    bag.DumpXML(out, VString(name), indented);
    return to_string(out);
}

TEST(VValueBag, TypedGettersConvertAndReportAbsence)
{
    VValueBag bag;
    EXPECT_TRUE(bag.IsEmpty());
    bag.SetString("n", VString("42"));
    bag.SetLong8("big", int64_t(1) << 40);
    bag.SetBool("flag", true);
    bag.SetReal("r", -2.5);
    std::string attributes;
    for (int32_t pos = 0; pos <= 5; ++pos) {
        VString name("?"), text;
        if (const VValueSingle* value = bag.GetNthAttribute(pos, &name))
            value->GetString(text);
        attributes += to_string(name) + "=" + to_string(text) + " ";
    }
    EXPECT_EQ(attributes, "?= n=42 big=1099511627776 flag=true r=-2.5 ?= ");

    int32_t number = -1;
    EXPECT_TRUE(bag.GetLong("n", number) && number == 42);
    EXPECT_TRUE(bag.GetLong("big", number) && number == INT32_MAX);
    EXPECT_TRUE(bag.GetLong("r", number) && number == -2);
    bool flag = false;
    EXPECT_TRUE(bag.GetBool("flag", flag) && flag);
    number = 7;
    EXPECT_FALSE(bag.GetLong("missing", number));
    EXPECT_EQ(number, 7);
    EXPECT_EQ(bag.GetAttribute("missing"), nullptr);
    EXPECT_FALSE(bag.AttributeExists("N"));
    bag.AppendToCData(VString("Hello, "));
    bag.AppendToCData(VString("world"));
    EXPECT_EQ(Attr(bag, VValueBag::CDataAttributeName), "Hello, world");
}

TEST(VValueBag, TypedKeys)
{
    static constexpr StBagKeyNoDefault<VError, VLong8> kErrorCode{"error_code"};
    static constexpr StBagKeyWithDefault<int32_t, VLong> kLevel{"level", 4};
    static const StBagKeyWithDefault<VString, VString, const char*> kTaskName{"task_name", "main"};

    VValueBag bag;
    VError code = 0;
    EXPECT_FALSE(kErrorCode.Get(bag, code));
    EXPECT_EQ(kLevel.Get(nullptr), 4);
    EXPECT_EQ(to_string(kTaskName.Get(bag)), "main");
    const VError updaterError = MakeVError(kComponentUpdater, -13);
    kErrorCode.Set(bag, updaterError);
    EXPECT_TRUE(kErrorCode.Get(bag, code) && code == updaterError);
    EXPECT_EQ(bag.GetAttribute(kErrorCode)->GetValueKind(), ValueKind::Long8);
    bag.SetString("level", VString("7"));
    EXPECT_EQ(kLevel.Get(bag), 7);
}

TEST(VValueBag, ElementListsRetainTheirBags)
{
    VValueBag bag;
    BagRef a = NewBag(), b = NewBag(), c = NewBag();
    bag.AddElement("first", a.Get());
    EXPECT_FALSE(bag.IsEmpty());
    bag.AddElement("second", b.Get());
    bag.AddElement("first", c.Get());
    bag.AddElement("first", nullptr);

    ASSERT_EQ(bag.GetElementNamesCount(), 2);
    VString name;
    ASSERT_EQ(bag.GetNthElementName(1, &name)->GetCount(), 2);
    EXPECT_EQ(to_string(name), "first");
    EXPECT_EQ(bag.GetElements("first")->GetNth(2), c.Get());
    EXPECT_EQ(bag.GetNthElementName(3, &name), nullptr);
    EXPECT_EQ(bag.GetUniqueElement("first"), a.Get());
    EXPECT_EQ(bag.GetUniqueElement("none"), nullptr);

    bag.ReplaceElement("first", b.Get());
    EXPECT_EQ(bag.GetElements("first")->GetCount(), 1);
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(b->GetRefCount(), 3);

    VRefPtr<VBagArray> replacement = VRefPtr<VBagArray>::Adopt(new VBagArray);
    replacement->AddTail(c.Get());
    bag.SetElements("second", replacement.Get());
    EXPECT_EQ(replacement->GetRefCount(), 2);
    EXPECT_EQ(b->GetRefCount(), 2);
    bag.SetElements("second", nullptr);
    EXPECT_EQ(replacement->GetRefCount(), 1);
    bag.RemoveElements("first");
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_TRUE(bag.IsEmpty());
}

// Both take other's attribute values; UnionClone adds copies of other's element bags to the
// lists, Override replaces each list that other has by copies of other's.
TEST(VValueBag, UnionCloneAddsElementCopiesOverrideReplacesLists)
{
    VValueBag other;
    other.SetString("p1", VString("x"));
    other.SetLong("p2", 2);
    BagRef otherChild = NewBag();
    otherChild->SetString("name", VString("from other"));
    other.AddElement("item", otherChild.Get());

    for (bool union_ : {true, false}) {
        SCOPED_TRACE(union_ ? "UnionClone" : "Override");
        VValueBag target;
        target.SetString("p1", VString("y"));
        target.SetString("mine", VString("kept"));
        BagRef ownChild = NewBag(), keep = NewBag();
        ownChild->SetLong("own", 1);
        target.AddElement("item", ownChild.Get());
        target.AddElement("other", keep.Get());
        if (union_)
            EXPECT_TRUE(target.UnionClone(&other));
        else
            target.Override(&other);
        EXPECT_EQ(Xml(target, "t", false), std::string("<t p1=\"x\" mine=\"kept\" p2=\"2\">\n")
                      + (union_ ? "<item own=\"1\"/>\n" : "") + "<item name=\"from other\"/>\n<other/></t>");
        EXPECT_EQ(ownChild->GetRefCount(), union_ ? 2 : 1);
        EXPECT_NE(target.GetElements("item")->GetNth(union_ ? 2 : 1), otherChild.Get()); // a copy
        EXPECT_EQ(target.GetElements("other")->GetNth(1), keep.Get());
    }

    EXPECT_TRUE(other.UnionClone(nullptr));
    EXPECT_TRUE(other.UnionClone(&other));
    EXPECT_EQ(Xml(other, "o", false),
              "<o p1=\"x\" p2=\"2\">\n<item name=\"from other\"/>\n<item name=\"from other\"/></o>");
}

TEST(VValueBag, UnionCloneOfABagSharingAnElementArrayEnds)
{
    VValueBag target, other;
    VRefPtr<VBagArray> shared = VRefPtr<VBagArray>::Adopt(new VBagArray);
    shared->AddTail(NewBag().Get());
    target.SetElements("x", shared.Get());
    other.SetElements("x", shared.Get());
    EXPECT_TRUE(target.UnionClone(&other));
    EXPECT_EQ(shared->GetCount(), 2);
}

TEST(VValueBag, OverrideByABagOwnedByOneOfItsReplacedLists)
{
    BagRef root = NewBag();
    VValueBag* child = new VValueBag;
    child->SetLong("c", 2);
    child->AddElement("a", NewBag().Get());
    child->AddElement("b", NewBag().Get());  // read after the list "a" holding child is replaced
    root->AddElement("a", child);
    child->Release();  // root's list is now its only owner
    root->Override(root->GetUniqueElement("a"));
    EXPECT_EQ(Xml(*root, "r", false), "<r c=\"2\">\n<a/>\n<b/></r>");
}

TEST(VValueBag, CopiesAreDeep)
{
    VValueBag original;
    original.SetString("s", VString("text"));
    original.SetString("grow", VString("a"));
    original.SetString("grow", VString("a longer text")); // dirty dictionary
    BagRef child = NewBag();
    BagRef grandchild = NewBag();
    grandchild->SetLong("depth", 2);
    child->AddElement("inner", grandchild.Get());
    original.AddElement("child", child.Get());

    VValueBag copy(original);
    BagRef clone = BagRef::Adopt(original.Clone());
    VValueBag assigned;
    assigned.SetLong("gone", 1);
    assigned = original;
    for (const VValueBag* bag : {&copy, clone.Get(), &assigned}) {
        EXPECT_EQ(bag->GetRefCount(), 1);
        EXPECT_EQ(Xml(*bag, "b", false),
                  "<b s=\"text\" grow=\"a longer text\">\n<child>\n<inner depth=\"2\"/></child></b>");
        const VValueBag* copiedChild = bag->GetUniqueElement("child");
        EXPECT_NE(copiedChild, child.Get());
        EXPECT_NE(copiedChild->GetUniqueElement("inner"), grandchild.Get());
    }
    copy.SetString("s", VString("changed"));
    EXPECT_EQ(Attr(original, "s"), "text");
    EXPECT_EQ(child->GetRefCount(), 2); // the test and the original's array only
}

TEST(VValueBag, DumpXmlAttributes)
{
    VValueBag bag;
    EXPECT_EQ(Xml(bag, "e", true), "<e/>");
    bag.SetElements("none", VRefPtr<VBagArray>::Adopt(new VBagArray).Get());  // no element bag
    bag.SetString("a", VString("1"));
    bag.SetString("____objectunic", VString("1"));
    bag.SetString("c", VString(""));
    bag.SetString("v", VString(u"a&b<c>d\"e'f\t\n\x01\u00E9"));
    bag.SetString("____property_name_in_jsarray", VString("2"));
    bag.SetBool("no", false);
    bag.SetLong8("big", 5000000000);
    bag.SetReal("r", 2.5);
    const char* expected =
        "<e a=\"1\" c=\"\" v=\"a&amp;b&lt;c&gt;d&quot;e&apos;f\t\n\x01\xC3\xA9\" no=\"false\" big=\"5000000000\" r=\"2.5\"/>";
    EXPECT_EQ(Xml(bag, "e", false), expected);
    EXPECT_EQ(Xml(bag, "e", true), expected);
}

TEST(VValueBag, DumpXmlNestedElementsAndCharacterData)
{
    VValueBag root;
    root.SetLong("a", 1);
    BagRef first = NewBag(), second = NewBag();
    first->SetLong("x", 2);
    second->SetLong("x", 3);
    second->AddElement("g", NewBag().Get());
    root.AddElement("child", first.Get());
    root.AddElement("child", second.Get());
    root.AddElement("other", NewBag().Get());
    EXPECT_EQ(Xml(root, "root", true),
              "<root a=\"1\">\n\t<child x=\"2\"/>\n\t<child x=\"3\">\n\t\t<g/>\n\t</child>\n\t<other/>\n</root>");
    EXPECT_EQ(Xml(root, "root", false),
              "<root a=\"1\">\n<child x=\"2\"/>\n<child x=\"3\">\n<g/></child>\n<other/></root>");
    VString out("prefix:");
    first->DumpXML(out, VString("r"), false);
    EXPECT_EQ(to_string(out), "prefix:<r x=\"2\"/>");

    // Text content goes into CDATA sections ("]]>" split across two), with no line break after.
    VValueBag text;
    text.SetString("lang", VString("en"));
    text.AppendToCData(VString("a]]>b & <c>"));
    EXPECT_EQ(Xml(text, "t", true), "<t lang=\"en\"><![CDATA[a]]]]><![CDATA[>b & <c>]]></t>");
    first->SetCData(VString("]]>"));
    EXPECT_EQ(Xml(*first, "p", true), "<p x=\"2\"><![CDATA[]]]]><![CDATA[>]]></p>");
    second->SetCData(VString("t"));
    EXPECT_EQ(Xml(*second, "p", true), "<p x=\"3\">\n\t<g/><![CDATA[t]]></p>");
}

TEST(VValueBag, DumpXmlIndentationStopsAt100Tabs)
{
    BagRef root = NewBag();
    VValueBag* current = root.Get();
    for (int depth = 1; depth <= 102; ++depth) {
        BagRef child = NewBag();
        current->AddElement("n", child.Get());
        current = child.Get();
    }
    std::string xml = Xml(*root, "n", true);
    const std::string tabs100(100, '\t');
    EXPECT_NE(xml.find("\n" + tabs100 + "<n/>"), std::string::npos);  // depth 102
    EXPECT_NE(xml.find("\n" + tabs100 + "<n>"), std::string::npos);   // depth 100 and 101
    EXPECT_EQ(xml.find(tabs100 + "\t"), std::string::npos);
    EXPECT_NE(xml.find("\n" + std::string(99, '\t') + "<n>\n"), std::string::npos);  // depth 99
}

} // namespace
} // namespace nuvo
