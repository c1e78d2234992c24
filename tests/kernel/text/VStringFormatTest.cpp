#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <string>

#include "kernel/base/VObject.h"
#include "kernel/text/VString.h"
#include "kernel/values/VLong.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {
namespace {

// A toolkit object that is neither a string nor a single value.
class StubObject : public VObject {
public:
    void DebugDump(VString& out) const override { out.AppendCString("stub object #7"); }
};

std::u16string Units(const VString& text)
{
    return std::u16string(text.GetCPointer(), size_t(text.GetLength()));
}

std::u16string Ascii(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// The text after AppendPrintf(format, args...) on a string holding initial.
template <class... Args> std::u16string Appended(const char* initial, const char* format, Args... args)
{
    VString text(initial);
    text.AppendPrintf(format, args...);
    return Units(text);
}

template <class... Args> std::u16string Printed(const char* format, Args... args)
{
    return Appended("", format, args...);
}

void CallVPrintf(VString& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    out.VPrintf(format, args);
    va_end(args);
}

TEST(VStringPrintf, ObjectConversions)
{
    VString main("main"), a("a"), b("b"), fence(";;;"), fake(";;;0x1;;;");
    VLong minusFortyTwo(-42);
    StubObject stub;
    EXPECT_EQ(Printed("task %d, name: '%S'", 3, &main), u"task 3, name: 'main'");
    EXPECT_EQ(Printed("100%% %S", &a), u"100% a");
    // Markers are replaced in order, each search starting after the previous insertion.
    EXPECT_EQ(Printed("%S%S", &fence, &b), u";;;b");
    EXPECT_EQ(Printed("%S%S", &fake, &b), u";;;0x1;;;b");
    EXPECT_EQ(Printed("[%A][%A]", &minusFortyTwo, &main), u"[-42][main]");
    EXPECT_EQ(Printed("<%V>", &stub), u"<stub object #7>");
    EXPECT_EQ(Printed("%S|%A", &stub, &stub), u"@@invalid VString@@|@@invalid VValueSingle@@");
    EXPECT_EQ(Printed("%S|%V", static_cast<VString*>(nullptr), static_cast<VObject*>(nullptr)),
              u"@@invalid VObject@@|@@invalid VObject@@");
    EXPECT_EQ(Printed("\xC3\xBC%s%S", "\xE2\x82\xAC", &a), u"\u00FC\u20ACa");
}

// Each line puts arguments of other types before an object: the object must still be the one
// printed, which fails as soon as one argument is skipped with the wrong type.
TEST(VStringPrintf, ObjectArgumentFollowsArgumentsOfEveryKind)
{
    VString s1("S1"), s2("S2");
    const long double quarter = 2.25L, half = 0.5L;
    EXPECT_EQ(Printed("%lld %p %S", 1LL << 40, reinterpret_cast<void*>(0x10), &s1), u"1099511627776 0x10 S1");
    EXPECT_EQ(Printed("%.2f|%S|%Lf|%S", 1.5, &s1, quarter, &s2), u"1.50|S1|2.250000|S2");
    // Enough integers first that the object is passed in memory right after the long double.
    EXPECT_EQ(Printed("%d%d%d%d %.1Lf %S", 1, 2, 3, 4, half, &s2), u"1234 0.5 S2");
    EXPECT_EQ(Printed("%*d|%S", 5, 42, &s1), u"   42|S1");
    EXPECT_EQ(Printed("%-*.*s|%S", 6, 2, "abcdef", &s1), u"ab    |S1");
    EXPECT_EQ(Printed("%.*f %S", 1, 2.25, &s2), u"2.2 S2");
    EXPECT_EQ(Printed("%hhd %hd %hu %S", 300, 70000, 65537, &s1), u"44 4464 1 S1");
    EXPECT_EQ(Printed("%zu %jd %td %S", size_t(7), intmax_t(-8), ptrdiff_t(9), &s2), u"7 -8 9 S2");
    EXPECT_EQ(Printed("%ld %llx %S", -3L, 0xABCDEF0123ULL, &s1), u"-3 abcdef0123 S1");
    EXPECT_EQ(Printed("%c%s%X%o %S", 'q', "rs", 255u, 8u, &s2), u"qrsFF10 S2");
    EXPECT_EQ(Printed("%e %a %S", 1.0, 1.0, &s1), u"1.000000e+00 0x1p+0 S1");
    EXPECT_EQ(Printed("%+05d|%-4s|%#x|%S", 7, "a", 17u, &s2), u"+0007|a   |0x11|S2");
    EXPECT_EQ(Printed("%d%S%g%S%s", 1, &s1, 0.5, &s2, "!"), u"1S10.5S2!");
}

TEST(VStringPrintf, AppendKeepsThePreviousTextAndPrintfReplacesIt)
{
    VString minute("min");
    EXPECT_EQ(Appended("At ", "%02d:%02d", 9, 5), u"At 09:05");
    // The existing text holds fences of its own; they are left alone.
    EXPECT_EQ(Appended(";;;pre;;;", "%S", &minute), u";;;pre;;;min");

    VString text("old");
    text.Printf("%d", 7);
    EXPECT_EQ(Units(text), u"7");
    CallVPrintf(text, "%s=%S", "k", &minute);
    EXPECT_EQ(Units(text), u"k=min");

    // A string may print itself: its text is taken before it changes.
    text.Printf("<%S>", &text);
    EXPECT_EQ(Units(text), u"<k=min>");
    VString grown("ab");
    grown.AppendPrintf("-%S", &grown);
    EXPECT_EQ(Units(grown), u"ab-ab");
}

TEST(VStringPrintf, StandardOutputIsCutAt1023BytesButObjectTextsAreNot)
{
    const std::string longText(2000, 'a');
    VString object(longText.c_str());
    EXPECT_EQ(Printed("%s", longText.c_str()), Ascii(std::string(1023, 'a')));
    EXPECT_EQ(Appended("keep ", "<%s>", longText.c_str()), u"keep <" + Ascii(std::string(1022, 'a')));
    // Appended rather than const char16_t* + std::u16string, where g++ 12 -O3 reports a false
    // -Wrestrict overlap.
    EXPECT_EQ(Printed("<%S>", &object), Ascii(std::string("<").append(longText).append(">")));
    // 1000 bytes of text leave room for the marker and the address it prints.
    const std::string prefix(1000, 'b');
    EXPECT_EQ(Printed((prefix + "%S").c_str(), &object), Ascii(prefix + longText));

    // The marker fits the format but the address it prints runs past the 1023-byte output.
    VString tail("tail");
    std::u16string cutMarker = Printed((std::string(1014, 'd') + "%S").c_str(), &tail);
    ASSERT_EQ(cutMarker.size(), 1023u);
    EXPECT_EQ(cutMarker.substr(0, 1017), Ascii(std::string(1014, 'd') + ";;;"));
    EXPECT_EQ(cutMarker.find(u"tail"), std::u16string::npos);
}

TEST(VStringPrintf, FormatBeyond1023BytesIsDropped)
{
    VString tail("tail");
    auto c = [](size_t count) { return std::string(count, 'c'); };
    EXPECT_EQ(Printed(c(1100).c_str()), Ascii(c(1023)));
    EXPECT_EQ(Printed(c(1023).c_str()), Ascii(c(1023)));
    // 1016 + 8 marker bytes would need 1024: the marker and all after it are dropped.
    EXPECT_EQ(Printed((c(1016) + "%S!").c_str(), &tail), Ascii(c(1016)));
    EXPECT_EQ(Printed((c(1022) + "%d%S").c_str(), 12345, &tail), Ascii(c(1022)));
    // "%d" fits exactly; its output is then cut, and the marker after it is dropped.
    EXPECT_EQ(Printed((c(1021) + "%d%S").c_str(), 12345, &tail), Ascii(c(1021) + "12"));
}

TEST(VStringFormatBag, PlaceholdersTakeTheBagAttributes)
{
    VValueBag bag;
    bag.SetString("LogFilePath", VString("/tmp/a.log"));
    bag.SetString("name", VString("Ann"));
    bag.SetString("self", VString("{name}"));
    bag.SetString("my name", VString("spaced"));
    bag.SetString("empty", VString(""));
    bag.SetString(StPackedDictionaryKey(VString(u"n\u00E9v")), VString("ok"));
    bag.SetLong("count", 3);
    VValueBag* child = new VValueBag;
    child->SetString("name", VString("inner"));
    bag.AddElement("child", child);
    child->Release();

    struct Row { const char16_t* text; const char16_t* removingUnknown; const char16_t* keepingUnknown; };
    const Row rows[] = {
        {u"More information is available in the log file '{LogFilePath}'",
         u"More information is available in the log file '/tmp/a.log'",
         u"More information is available in the log file '/tmp/a.log'"},
        {u"before {unknown} after", u"before  after", u"before {unknown} after"},
        {u"{{name}}", u"{{name}}", u"{{name}}"},
        {u"{my name}", u"{my name}", u"{my name}"},
        {u"{self}{name}", u"{name}Ann", u"{name}Ann"},  // an inserted text is not expanded again
        {u"{count} files", u"3 files", u"3 files"},
        {u"{} {name}", u"{} Ann", u"{} Ann"}, {u"{name", u"{name", u"{name"},
        {u"{unknown}{name}", u"Ann", u"{unknown}Ann"},
        {u"{child}", u"", u"{child}"},  // element lists are not values
        {u"{a {name}", u"{a Ann", u"{a Ann"}, {u"{name}}", u"{name}}", u"{name}}"}, {u"{empty}x", u"x", u"x"},
        {u"{n\u00E9v}!", u"ok!", u"ok!"}, {u"{Name}", u"", u"{Name}"}, {u"{", u"{", u"{"},
    };
    for (const Row& row : rows) {
        VString text(row.text);
        SCOPED_TRACE(to_string(text));
        VString removing(text);
        EXPECT_EQ(&removing.Format(&bag, true), &removing);
        EXPECT_EQ(Units(removing), std::u16string(row.removingUnknown));
        VString keeping(text);
        keeping.Format(&bag, false);
        EXPECT_EQ(Units(keeping), std::u16string(row.keepingUnknown));
    }

    const std::string longText(3000, 'z');
    bag.SetString("p", VString(longText.c_str()));
    VString text("<{p}>{p}");
    text.Format(&bag, true);
    EXPECT_EQ(Units(text), Ascii(std::string("<").append(longText).append(">").append(longText)));

    VValueBag empty;
    VString untouched("{name} {unknown}");
    untouched.Format(nullptr, true);
    untouched.Format(&empty, true);
    EXPECT_EQ(Units(untouched), u"{name} {unknown}");
}

} // namespace
} // namespace nuvo
