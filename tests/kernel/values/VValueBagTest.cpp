#include <string>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/text/VString.h"
#include "kernel/values/StBagKeyNoDefault.h"
#include "kernel/values/StBagKeyWithDefault.h"
#include "kernel/values/VBagArray.h"
#include "kernel/values/VBoolean.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VLong8.h"
#include "kernel/values/VReal.h"
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

TEST(VValueBag, IsEmpty)
{
    VValueBag bag;
    EXPECT_TRUE(bag.IsEmpty());
    BagRef child = NewBag();
    bag.AddElement("child", child.Get());
    EXPECT_FALSE(bag.IsEmpty());
    EXPECT_EQ(child->GetRefCount(), 2);
    bag.RemoveElements("child");
    EXPECT_TRUE(bag.IsEmpty());
    EXPECT_EQ(child->GetRefCount(), 1);
    bag.SetLong("n", 1);
    EXPECT_FALSE(bag.IsEmpty());
    bag.RemoveAttribute("n");
    EXPECT_TRUE(bag.IsEmpty());
}

TEST(VValueBag, TypedGettersConvertAndReportAbsence)
{
    VValueBag bag;
    bag.SetString("n", VString("42"));
    bag.SetLong8("big", int64_t(1) << 40);
    bag.SetBool("flag", true);
    bag.SetReal("r", -2.5);

    int32_t number = -1;
    EXPECT_TRUE(bag.GetLong("n", number));
    EXPECT_EQ(number, 42);
    int64_t big = 0;
    EXPECT_TRUE(bag.GetLong8("big", big));
    EXPECT_EQ(big, int64_t(1) << 40);
    EXPECT_TRUE(bag.GetLong("big", number));
    EXPECT_EQ(number, INT32_MAX);
    bool flag = false;
    EXPECT_TRUE(bag.GetBool("flag", flag));
    EXPECT_TRUE(flag);
    double real = 0;
    EXPECT_TRUE(bag.GetReal("r", real));
    EXPECT_EQ(real, -2.5);
    EXPECT_TRUE(bag.GetLong("r", number));
    EXPECT_EQ(number, -2);
    EXPECT_EQ(Attr(bag, "r"), "-2.5");
    EXPECT_EQ(Attr(bag, "flag"), "true");

    number = 7;
    EXPECT_FALSE(bag.GetLong("missing", number));
    EXPECT_EQ(number, 7);
    EXPECT_EQ(bag.GetAttribute("missing"), nullptr);
    EXPECT_FALSE(bag.AttributeExists("N"));
}

TEST(VValueBag, AttributeIteration)
{
    VValueBag bag;
    bag.SetString("message", VString("hello"));
    bag.SetLong("level", 4);
    bag.SetString(VString(u"\u00E9"), VString("accent"));
    bag.SetLong("level", 6);

    ASSERT_EQ(bag.GetAttributesCount(), 3);
    const char16_t* names[] = {u"message", u"level", u"\u00E9"};
    const char* values[] = {"hello", "6", "accent"};
    for (int32_t pos = 1; pos <= 3; ++pos) {
        SCOPED_TRACE(pos);
        VString name, text;
        const VValueSingle* value = bag.GetNthAttribute(pos, &name);
        ASSERT_NE(value, nullptr);
        EXPECT_TRUE(name == VString(names[pos - 1]));
        value->GetString(text);
        EXPECT_EQ(to_string(text), values[pos - 1]);
    }
    EXPECT_EQ(bag.GetNthAttribute(0, nullptr), nullptr);
    EXPECT_EQ(bag.GetNthAttribute(4, nullptr), nullptr);
    EXPECT_EQ(bag.GetAttribute("level")->GetValueKind(), ValueKind::Long);
}

TEST(VValueBag, TypedKeys)
{
    static constexpr StBagKeyNoDefault<VError, VLong8> kErrorCode{"error_code"};
    static constexpr StBagKeyWithDefault<int32_t, VLong> kLevel{"level", 4};
    static const StBagKeyWithDefault<VString, VString, const char*> kTaskName{"task_name", "main"};

    VValueBag bag;
    VError code = 0;
    EXPECT_FALSE(kErrorCode.Get(bag, code));
    EXPECT_EQ(kLevel.Get(bag), 4);
    EXPECT_EQ(kLevel.Get(nullptr), 4);
    EXPECT_EQ(to_string(kTaskName.Get(bag)), "main");

    const VError updaterError = MakeVError(kComponentUpdater, -13);
    kErrorCode.Set(bag, updaterError);
    ASSERT_TRUE(kErrorCode.Get(bag, code));
    EXPECT_EQ(code, updaterError);
    EXPECT_EQ(bag.GetAttribute(kErrorCode)->GetValueKind(), ValueKind::Long8);

    bag.SetString("level", VString("7"));
    EXPECT_EQ(kLevel.Get(bag), 7);
    kTaskName.Set(&bag, VString("Logger"));
    EXPECT_EQ(Attr(bag, "task_name"), "Logger");
    EXPECT_TRUE(kTaskName.HasAttribute(bag));
}

TEST(VValueBag, UnionCloneLetsTheOtherBagWin)
{
    VValueBag target;
    target.SetString("p1", VString("y"));
    target.SetString("mine", VString("kept"));
    BagRef ownChild = NewBag();
    target.AddElement("item", ownChild.Get());

    VValueBag other;
    other.SetString("p1", VString("x"));
    other.SetLong("p2", 2);
    BagRef otherChild = NewBag();
    otherChild->SetString("name", VString("from other"));
    other.AddElement("item", otherChild.Get());
    other.AddElement("extra", otherChild.Get());

    EXPECT_TRUE(target.UnionClone(&other));
    EXPECT_EQ(Attr(target, "p1"), "x");
    EXPECT_EQ(Attr(target, "p2"), "2");
    EXPECT_EQ(Attr(target, "mine"), "kept");
    EXPECT_EQ(target.GetAttributesCount(), 3);

    VBagArray* items = target.GetElements("item");
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->GetCount(), 2);
    EXPECT_EQ(items->GetNth(1), ownChild.Get());
    EXPECT_NE(items->GetNth(2), otherChild.Get());  // a copy
    EXPECT_EQ(Attr(*items->GetNth(2), "name"), "from other");
    ASSERT_NE(target.GetElements("extra"), nullptr);
    EXPECT_EQ(target.GetElements("extra")->GetCount(), 1);

    otherChild->SetString("name", VString("changed later"));
    EXPECT_EQ(Attr(*items->GetNth(2), "name"), "from other");

    EXPECT_TRUE(target.UnionClone(nullptr));
    EXPECT_TRUE(target.UnionClone(&target));
    EXPECT_EQ(target.GetElements("item")->GetCount(), 4);
    EXPECT_EQ(target.GetAttributesCount(), 3);
}

TEST(VValueBag, OverrideReplacesElementLists)
{
    VValueBag target;
    target.SetString("a", VString("old"));
    BagRef old1 = NewBag(), old2 = NewBag(), keep = NewBag();
    target.AddElement("list", old1.Get());
    target.AddElement("list", old2.Get());
    target.AddElement("other", keep.Get());

    VValueBag source;
    source.SetString("a", VString("new"));
    BagRef fresh = NewBag();
    fresh->SetLong("n", 1);
    source.AddElement("list", fresh.Get());

    target.Override(&source);
    EXPECT_EQ(Attr(target, "a"), "new");
    ASSERT_EQ(target.GetElements("list")->GetCount(), 1);
    EXPECT_NE(target.GetElements("list")->GetNth(1), fresh.Get());
    EXPECT_EQ(Attr(*target.GetElements("list")->GetNth(1), "n"), "1");
    EXPECT_EQ(target.GetElements("other")->GetNth(1), keep.Get());
    EXPECT_EQ(old1->GetRefCount(), 1);
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
    root->AddElement("a", child);
    child->Release();  // root's list is now its only owner
    root->Override(root->GetUniqueElement("a"));
    EXPECT_EQ(Xml(*root, "r", false), "<r c=\"2\">\n<a/></r>");
}

TEST(VValueBag, ElementLists)
{
    VValueBag bag;
    BagRef a = NewBag(), b = NewBag(), c = NewBag();
    bag.AddElement("first", a.Get());
    bag.AddElement("second", b.Get());
    bag.AddElement("first", c.Get());
    bag.AddElement("first", nullptr);

    ASSERT_EQ(bag.GetElementNamesCount(), 2);
    VString name;
    VBagArray* array = bag.GetNthElementName(1, &name);
    EXPECT_EQ(to_string(name), "first");
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->GetCount(), 2);
    EXPECT_EQ(array->GetNth(2), c.Get());
    array = bag.GetNthElementName(2, &name);
    EXPECT_EQ(to_string(name), "second");
    EXPECT_EQ(bag.GetNthElementName(3, &name), nullptr);
    EXPECT_EQ(bag.GetUniqueElement("first"), a.Get());
    EXPECT_EQ(bag.GetUniqueElement("none"), nullptr);

    bag.ReplaceElement("first", b.Get());
    EXPECT_EQ(bag.GetElements("first")->GetCount(), 1);
    EXPECT_EQ(bag.GetUniqueElement("first"), b.Get());
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(b->GetRefCount(), 3);

    VRefPtr<VBagArray> replacement = VRefPtr<VBagArray>::Adopt(new VBagArray);
    replacement->AddTail(c.Get());
    bag.SetElements("second", replacement.Get());
    EXPECT_EQ(replacement->GetRefCount(), 2);
    EXPECT_EQ(bag.GetElements("second"), replacement.Get());
    EXPECT_EQ(b->GetRefCount(), 2);
    bag.SetElements("second", nullptr);
    EXPECT_EQ(bag.GetElements("second"), nullptr);
    EXPECT_EQ(replacement->GetRefCount(), 1);
    EXPECT_EQ(bag.GetElementNamesCount(), 1);
}

TEST(VValueBag, CopiesAreDeep)
{
    VValueBag original;
    original.SetString("s", VString("text"));
    original.SetString("grow", VString("a"));
    original.SetString("grow", VString("a longer text"));  // dirty dictionary
    BagRef child = NewBag();
    child->SetLong("depth", 1);
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
        EXPECT_EQ(Attr(*bag, "grow"), "a longer text");
        EXPECT_EQ(Attr(*bag, "gone"), "<absent>");
        const VValueBag* copiedChild = bag->GetUniqueElement("child");
        ASSERT_NE(copiedChild, nullptr);
        EXPECT_NE(copiedChild, child.Get());
        const VValueBag* copiedGrandchild = copiedChild->GetUniqueElement("inner");
        ASSERT_NE(copiedGrandchild, nullptr);
        EXPECT_NE(copiedGrandchild, grandchild.Get());
        EXPECT_EQ(Attr(*copiedGrandchild, "depth"), "2");
    }
    grandchild->SetLong("depth", 3);
    copy.SetString("s", VString("changed"));
    EXPECT_EQ(Attr(*clone->GetUniqueElement("child")->GetUniqueElement("inner"), "depth"), "2");
    EXPECT_EQ(Attr(original, "s"), "text");
    EXPECT_EQ(child->GetRefCount(), 2);  // the test and the original's array only
}

TEST(VValueBag, AppendToCData)
{
    VValueBag bag;
    bag.AppendToCData(VString("Hello, "));
    bag.AppendToCData(VString("world"));
    VString text;
    ASSERT_TRUE(bag.GetCData(text));
    EXPECT_EQ(to_string(text), "Hello, world");
    EXPECT_EQ(bag.GetAttributesCount(), 1);
}

TEST(VValueBag, DumpXmlAttributes)
{
    struct Row {
        const char* name;
        void (*fill)(VValueBag&);
        const char* expected;
    };
    const Row rows[] = {
        {"three attributes, one line",
         [](VValueBag& b) {
             b.SetString("a", VString("1"));
             b.SetString("b", VString("two"));
             b.SetString("c", VString(""));
         },
         "<e a=\"1\" b=\"two\" c=\"\"/>"},
        {"the five entities",
         [](VValueBag& b) { b.SetString("v", VString("a&b<c>d\"e'f")); },
         "<e v=\"a&amp;b&lt;c&gt;d&quot;e&apos;f\"/>"},
        {"control characters copied unchanged",
         [](VValueBag& b) { b.SetString("v", VString(u"\t\n\r\x01\x1F\u00E9", 6)); },
         "<e v=\"\t\n\r\x01\x1F\xC3\xA9\"/>"},
        {"booleans and numbers",
         [](VValueBag& b) {
             b.SetBool("yes", true);
             b.SetBool("no", false);
             b.SetLong("n", -5);
             b.SetLong8("big", 5000000000);
             b.SetReal("r", 2.5);
         },
         "<e yes=\"true\" no=\"false\" n=\"-5\" big=\"5000000000\" r=\"2.5\"/>"},
        {"internal names left out",
         [](VValueBag& b) {
             b.SetString("____objectunic", VString("1"));
             b.SetString("kept", VString("k"));
             b.SetString("____property_name_in_jsarray", VString("2"));
         },
         "<e kept=\"k\"/>"},
        {"no attributes", [](VValueBag&) {}, "<e/>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VValueBag bag;
        row.fill(bag);
        EXPECT_EQ(Xml(bag, "e", false), row.expected);
        EXPECT_EQ(Xml(bag, "e", true), row.expected);
    }
}

TEST(VValueBag, DumpXmlNestedElements)
{
    VValueBag root;
    root.SetLong("a", 1);
    BagRef first = NewBag();
    first->SetLong("x", 2);
    BagRef second = NewBag();
    second->SetLong("x", 3);
    BagRef leaf = NewBag();
    second->AddElement("g", leaf.Get());
    root.AddElement("child", first.Get());
    root.AddElement("child", second.Get());
    BagRef other = NewBag();
    root.AddElement("other", other.Get());

    EXPECT_EQ(Xml(root, "root", true),
              "<root a=\"1\">\n"
              "\t<child x=\"2\"/>\n"
              "\t<child x=\"3\">\n"
              "\t\t<g/>\n"
              "\t</child>\n"
              "\t<other/>\n"
              "</root>");
    EXPECT_EQ(Xml(root, "root", false),
              "<root a=\"1\">\n"
              "<child x=\"2\"/>\n"
              "<child x=\"3\">\n"
              "<g/></child>\n"
              "<other/></root>");

    VString out("prefix:");
    root.DumpXML(out, VString("r"), false);
    EXPECT_EQ(to_string(out).substr(0, 15), "prefix:<r a=\"1\"");
}

TEST(VValueBag, DumpXmlEmptyElementListWritesNoChildren)
{
    VValueBag bag;
    VRefPtr<VBagArray> empty = VRefPtr<VBagArray>::Adopt(new VBagArray);
    bag.SetElements("none", empty.Get());
    EXPECT_EQ(Xml(bag, "e", true), "<e/>");
}

TEST(VValueBag, DumpXmlCharacterData)
{
    VValueBag text;
    text.SetString("lang", VString("en"));
    text.AppendToCData(VString("a]]>b & <c>"));
    EXPECT_EQ(Xml(text, "t", false), "<t lang=\"en\"><![CDATA[a]]]]><![CDATA[>b & <c>]]></t>");
    EXPECT_EQ(Xml(text, "t", true), "<t lang=\"en\"><![CDATA[a]]]]><![CDATA[>b & <c>]]></t>");

    VValueBag parent;
    BagRef child = NewBag();
    parent.AddElement("c", child.Get());
    parent.SetCData(VString("]]>"));
    EXPECT_EQ(Xml(parent, "p", true), "<p>\n\t<c/><![CDATA[]]]]><![CDATA[>]]></p>");
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
