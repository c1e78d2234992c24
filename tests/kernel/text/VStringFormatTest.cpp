#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <functional>
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

void CallVPrintf(VString& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    out.VPrintf(format, args);
    va_end(args);
}

struct PrintfRow {
    const char* name;
    std::function<void(VString&)> run;
    std::u16string expected;
};

void RunRows(const std::vector<PrintfRow>& rows, const char* initial)
{
    for (const PrintfRow& row : rows) {
        SCOPED_TRACE(row.name);
        VString text(initial);
        row.run(text);
        EXPECT_EQ(Units(text), row.expected);
    }
}

TEST(VStringPrintf, StandardConversionsAndObjectsFromAnEmptyString)
{
    VString main("main");
    VString a("a");
    VString b("b");
    VLong minusFortyTwo(-42);
    StubObject stub;
    const std::vector<PrintfRow> rows = {
        {"task line", [&](VString& s) { s.AppendPrintf("task %d, name: '%S'", 3, &main); },
         u"task 3, name: 'main'"},
        {"percent sign", [&](VString& s) { s.AppendPrintf("100%% %S", &a); }, u"100% a"},
        {"no conversion", [&](VString& s) { s.AppendPrintf("plain"); }, u"plain"},
        {"empty format", [&](VString& s) { s.AppendPrintf("%s", ""); }, u""},
        {"two strings in order", [&](VString& s) { s.AppendPrintf("%S-%S", &a, &b); }, u"a-b"},
        {"fence text then x", [&](VString& s) {
             VString fence(";;;");
             VString x("x");
             s.AppendPrintf("%S%S", &fence, &x);
         }, u";;;x"},
        {"inserted text that looks like a marker", [&](VString& s) {
             VString fake(";;;0x1;;;");
             VString y("y");
             s.AppendPrintf("%S%S", &fake, &y);
         }, u";;;0x1;;;y"},
        {"any single value", [&](VString& s) { s.AppendPrintf("[%A]", &minusFortyTwo); }, u"[-42]"},
        {"string as single value", [&](VString& s) { s.AppendPrintf("[%A]", &main); }, u"[main]"},
        {"debug dump", [&](VString& s) { s.AppendPrintf("<%V>", &stub); }, u"<stub object #7>"},
        {"not a string", [&](VString& s) { s.AppendPrintf("%S", &stub); }, u"@@invalid VString@@"},
        {"not a single value", [&](VString& s) { s.AppendPrintf("%A", &stub); },
         u"@@invalid VValueSingle@@"},
        {"null string", [&](VString& s) { s.AppendPrintf("%S|", static_cast<VString*>(nullptr)); },
         u"@@invalid VObject@@|"},
        {"null dump", [&](VString& s) { s.AppendPrintf("%V", static_cast<VObject*>(nullptr)); },
         u"@@invalid VObject@@"},
        {"null value", [&](VString& s) { s.AppendPrintf("%A", static_cast<VLong*>(nullptr)); },
         u"@@invalid VObject@@"},
        {"non-ASCII before the marker", [&](VString& s) { s.AppendPrintf("\xC3\xBC%S\xC3\xA9", &a); },
         u"\u00FCa\u00E9"},
        {"non-ASCII %s argument", [&](VString& s) { s.AppendPrintf("%s/%S", "\xE2\x82\xAC", &b); },
         u"\u20AC/b"},
    };
    RunRows(rows, "");
}

// Each row puts arguments of other types before an object: the object must still be the one
// printed, which fails as soon as one argument is skipped with the wrong type.
TEST(VStringPrintf, ObjectArgumentFollowsArgumentsOfEveryKind)
{
    VString s1("S1");
    VString s2("S2");
    const std::vector<PrintfRow> rows = {
        {"64-bit and pointer", [&](VString& s) {
             s.AppendPrintf("%lld %p %S", 1LL << 40, reinterpret_cast<void*>(0x10), &s1);
         }, u"1099511627776 0x10 S1"},
        {"double and long double", [&](VString& s) {
             s.AppendPrintf("%.2f|%S|%Lf|%S", 1.5, &s1, static_cast<long double>(2.25), &s2);
         }, u"1.50|S1|2.250000|S2"},
        // Enough integers first that the object is passed in memory right after the long double.
        {"long double passed in memory", [&](VString& s) {
             s.AppendPrintf("%d%d%d%d %.1Lf %S", 1, 2, 3, 4, static_cast<long double>(0.5), &s2);
         }, u"1234 0.5 S2"},
        {"star width", [&](VString& s) { s.AppendPrintf("%*d|%S", 5, 42, &s1); }, u"   42|S1"},
        {"star width and precision", [&](VString& s) {
             s.AppendPrintf("%-*.*s|%S", 6, 2, "abcdef", &s1);
         }, u"ab    |S1"},
        {"star precision on a double", [&](VString& s) {
             s.AppendPrintf("%.*f %S", 1, 2.25, &s2);
         }, u"2.2 S2"},
        {"short and char lengths", [&](VString& s) {
             s.AppendPrintf("%hhd %hd %hu %S", 300, 70000, 65537, &s1);
         }, u"44 4464 1 S1"},
        {"size, intmax, ptrdiff", [&](VString& s) {
             s.AppendPrintf("%zu %jd %td %S", size_t(7), intmax_t(-8), ptrdiff_t(9), &s2);
         }, u"7 -8 9 S2"},
        {"long and unsigned long long", [&](VString& s) {
             s.AppendPrintf("%ld %llx %S", -3L, 0xABCDEF0123ULL, &s1);
         }, u"-3 abcdef0123 S1"},
        {"char, string, hex, octal", [&](VString& s) {
             s.AppendPrintf("%c%s%X%o %S", 'q', "rs", 255u, 8u, &s2);
         }, u"qrsFF10 S2"},
        {"exponent and hex float", [&](VString& s) {
             s.AppendPrintf("%e %a %S", 1.0, 1.0, &s1);
         }, u"1.000000e+00 0x1p+0 S1"},
        {"flags and width on ordinary conversions", [&](VString& s) {
             s.AppendPrintf("%+05d|%-4s|%#x|%S", 7, "a", 17u, &s2);
         }, u"+0007|a   |0x11|S2"},
        {"percent between objects", [&](VString& s) { s.AppendPrintf("%S%%%S", &s1, &s2); }, u"S1%S2"},
        {"many objects interleaved", [&](VString& s) {
             s.AppendPrintf("%d%S%g%S%s", 1, &s1, 0.5, &s2, "!");
         }, u"1S10.5S2!"},
    };
    RunRows(rows, "");
}

TEST(VStringPrintf, AppendKeepsThePreviousTextAndPrintfReplacesIt)
{
    VString minute("min");
    const std::vector<PrintfRow> rows = {
        {"append clock", [&](VString& s) { s.AppendPrintf("%02d:%02d", 9, 5); }, u"At 09:05"},
        {"append object", [&](VString& s) { s.AppendPrintf("%S", &minute); }, u"At min"},
        {"printf replaces", [&](VString& s) { s.Printf("%d", 7); }, u"7"},
        {"printf replaces with nothing", [&](VString& s) { s.Printf("%s", ""); }, u""},
        {"vprintf replaces", [&](VString& s) { CallVPrintf(s, "%s=%S", "k", &minute); }, u"k=min"},
        {"append twice", [&](VString& s) {
             s.AppendPrintf("%d", 1);
             s.AppendPrintf("%d", 2);
         }, u"At 12"},
    };
    RunRows(rows, "At ");
}

TEST(VStringPrintf, MarkersAreSearchedOnlyInTheAppendedText)
{
    // The existing text holds fences of its own; they must be left alone.
    VString text(";;;pre;;;");
    VString x("x");
    text.AppendPrintf("%S", &x);
    EXPECT_EQ(Units(text), u";;;pre;;;x");
}

TEST(VStringPrintf, StringMayPrintItself)
{
    VString text("abc");
    text.Printf("<%S>", &text);
    EXPECT_EQ(Units(text), u"<abc>");

    VString grown("ab");
    grown.AppendPrintf("-%S", &grown);
    EXPECT_EQ(Units(grown), u"ab-ab");
}

TEST(VStringPrintf, StandardOutputIsCutAt1023BytesButObjectTextsAreNot)
{
    const std::string longText(2000, 'a');
    VString object(longText.c_str());

    VString cut;
    cut.AppendPrintf("%s", longText.c_str());
    EXPECT_EQ(Units(cut), Ascii(std::string(1023, 'a')));

    VString cutAfterPrefix("keep ");
    cutAfterPrefix.AppendPrintf("<%s>", longText.c_str());
    EXPECT_EQ(Units(cutAfterPrefix), u"keep <" + Ascii(std::string(1022, 'a')));

    VString whole;
    whole.AppendPrintf("<%S>", &object);
    EXPECT_EQ(Units(whole), u"<" + Ascii(longText) + u">");

    // 1000 bytes of text leave room for the marker and the address it prints.
    const std::string prefix(1000, 'b');
    VString afterLongPrefix;
    afterLongPrefix.AppendPrintf((prefix + "%S").c_str(), &object);
    EXPECT_EQ(Units(afterLongPrefix), Ascii(prefix + longText));
}

TEST(VStringPrintf, FormatBeyond1023BytesIsDropped)
{
    VString tail("tail");
    struct Row {
        const char* name;
        std::string format;
        std::u16string expected;
    };
    const std::vector<Row> rows = {
        {"plain text is cut", std::string(1100, 'c'), Ascii(std::string(1023, 'c'))},
        {"plain text exactly at the limit", std::string(1023, 'c'), Ascii(std::string(1023, 'c'))},
        // 1016 + 8 marker bytes would need 1024: the marker and all after it are dropped.
        {"marker that does not fit", std::string(1016, 'c') + "%S!", Ascii(std::string(1016, 'c'))},
        {"conversion that does not fit", std::string(1022, 'c') + "%d%S",
         Ascii(std::string(1022, 'c'))},
        // "%d" fits exactly; its output is then cut, and the marker after it is dropped.
        {"conversion at the limit", std::string(1021, 'c') + "%d%S",
         Ascii(std::string(1021, 'c') + "12")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VString text;
        text.AppendPrintf(row.format.c_str(), 12345, &tail);
        EXPECT_EQ(Units(text), row.expected);
    }
}

TEST(VStringPrintf, MarkerCutFromTheOutputInsertsNothing)
{
    // The marker fits the format but the address it prints runs past the 1023-byte output.
    VString tail("tail");
    const std::string prefix(1014, 'd');
    VString text;
    text.AppendPrintf((prefix + "%S").c_str(), &tail);
    ASSERT_EQ(text.GetLength(), 1023);
    EXPECT_EQ(Units(text).substr(0, 1017), Ascii(prefix + ";;;"));
    EXPECT_EQ(text.FindRawString(VString("tail")), 0);
}

// The bag every placeholder row reads from.
void FillPlaceholderBag(VValueBag& bag)
{
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
}

TEST(VStringFormatBag, PlaceholdersTakeTheBagAttributes)
{
    VValueBag bag;
    FillPlaceholderBag(bag);
    struct Row {
        const char16_t* text;
        const char16_t* removingUnknown;
        const char16_t* keepingUnknown;
    };
    const Row rows[] = {
        {u"More information is available in the log file '{LogFilePath}'",
         u"More information is available in the log file '/tmp/a.log'",
         u"More information is available in the log file '/tmp/a.log'"},
        {u"before {unknown} after", u"before  after", u"before {unknown} after"},
        {u"{{name}}", u"{{name}}", u"{{name}}"},
        {u"{my name}", u"{my name}", u"{my name}"},
        {u"{self}", u"{name}", u"{name}"},
        {u"{self}{name}", u"{name}Ann", u"{name}Ann"},
        {u"{name}{name}", u"AnnAnn", u"AnnAnn"},
        {u"{count} files", u"3 files", u"3 files"},
        {u"{} {name}", u"{} Ann", u"{} Ann"},
        {u"{name", u"{name", u"{name"},
        {u"name}", u"name}", u"name}"},
        {u"{unknown}{name}", u"Ann", u"{unknown}Ann"},
        {u"{child}", u"", u"{child}"},
        {u"{a {name}", u"{a Ann", u"{a Ann"},
        {u"{name}}", u"{name}}", u"{name}}"},
        {u"{empty}x", u"x", u"x"},
        {u"{n\u00E9v}!", u"ok!", u"ok!"},
        {u"{Name}", u"", u"{Name}"},
        {u"x{name}", u"xAnn", u"xAnn"},
        {u"{", u"{", u"{"},
        {u"", u"", u""},
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
}

TEST(VStringFormatBag, NoBagOrAnEmptyBagChangesNothing)
{
    VValueBag empty;
    VString text("{name} {unknown}");
    text.Format(nullptr, true);
    EXPECT_EQ(Units(text), u"{name} {unknown}");
    text.Format(&empty, true);
    EXPECT_EQ(Units(text), u"{name} {unknown}");
}

TEST(VStringFormatBag, ALongValueIsInsertedWhole)
{
    VValueBag bag;
    const std::string longText(3000, 'z');
    bag.SetString("p", VString(longText.c_str()));
    VString text("<{p}>{p}");
    text.Format(&bag, true);
    EXPECT_EQ(Units(text), u"<" + Ascii(longText) + u">" + Ascii(longText));
}

} // namespace
} // namespace nuvo
