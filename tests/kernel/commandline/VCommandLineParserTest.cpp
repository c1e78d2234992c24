#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "kernel/commandline/VCommandLineParser.h"

namespace nuvo {
namespace {

std::vector<VString> Args(const std::vector<std::string>& args)
{
    std::vector<VString> out = {VString("prog")};
    for (const std::string& arg : args)
        out.emplace_back(arg.data(), arg.size(), CharSet::UTF8);
    return out;
}

// The variables of the parse table, printed as one text so that a row states them all at once.
struct Bound {
    int pid = -1;
    bool silent = false;
    bool flag = false;
    VString a, b, name, other;
    std::vector<VString> args;

    void Declare(VCommandLineParser& parser, bool withHolder)
    {
        parser.AddOption(u' ', VString("pid"), pid, VString("Pid"));
        parser.AddOption(u' ', VString("silent"), silent, VString("Silent"));
        parser.AddOption(u'f', VString(), flag, VString("Flag"));
        parser.AddOption(u'a', VString(), a, VString("A"));
        parser.AddOption(u'b', VString("bee"), b, VString("B"));
        parser.AddOption(u' ', VString("name"), other, VString("Shadowed"));
        parser.AddOption(u' ', VString("name"), name, VString("Name"));
        if (withHolder)
            parser.AddArguments(args);
    }

    std::string Text() const
    {
        std::string text = "pid=" + std::to_string(pid) + " silent=" + std::to_string(silent) +
                           " f=" + std::to_string(flag) + " a=" + to_string(a) + " b=" + to_string(b) +
                           " name=" + to_string(name) + " other=" + to_string(other) + " args=";
        for (const VString& arg : args)
            text.append("[").append(to_string(arg)).append("]");
        return text;
    }
};

const std::string kDefaults = "pid=-1 silent=0 f=0 a= b= name= other= args=";

std::string InvalidPid(const std::string& shown)
{
    return "invalid value for argument '--pid' got " + shown + "expected a signed integral\n";
}

TEST(VCommandLineParserParse, ResultsMessagesAndBoundValues)
{
    const std::string v80(80, 'v');
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int result;
        std::string err;
        std::string bound;
        bool withHolder = true;
    };
    const std::vector<Row> rows = {
        {"program path only", {}, 0, "", kDefaults},
        {"values interleaved", {"--pid", "--silent", "42"}, 0, "", "pid=42 silent=1 f=0 a= b= name= other= args="},
        {"cluster takes values in order", {"-ab", "X", "Y", "Z"}, 0, "", "pid=-1 silent=0 f=0 a=X b=Y name= other= args=[Z]"},
        {"flag in a cluster", {"-fa", "X"}, 0, "", "pid=-1 silent=0 f=1 a=X b= name= other= args="},
        {"value after --", {"--name", "--", "-x"}, 0, "", "pid=-1 silent=0 f=0 a= b= name=-x other= args="},
        {"plain after --", {"--", "-x", "--pid"}, 0, "", "pid=-1 silent=0 f=0 a= b= name= other= args=[-x][--pid]"},
        {"equals form", {"--pid=42", "--bee=", "p"}, 0, "", "pid=42 silent=0 f=0 a= b= name= other= args=[p]"},
        {"negative through equals", {"--pid=-2147483648"}, 0, "", "pid=-2147483648 silent=0 f=0 a= b= name= other= args="},
        {"octal", {"--pid", "010"}, 0, "", "pid=8 silent=0 f=0 a= b= name= other= args="},
        {"blanks around", {"--pid", " \t42 \n"}, 0, "", "pid=42 silent=0 f=0 a= b= name= other= args="},
        {"given twice", {"--pid", "1", "--pid", "2", "--name", "x", "--name=y"}, 0, "",
         "pid=2 silent=0 f=0 a= b= name=y other= args="},
        {"empty plain argument", {"", "-b", ""}, 0, "", "pid=-1 silent=0 f=0 a= b= name= other= args=[]"},
        {"system switches ignored", {"-NSDocumentRevisionsDebugMode", "YES", "/path", "-ApplePersistenceIgnoreState"},
         0, "", "pid=-1 silent=0 f=0 a= b= name= other= args=[/path]"},
        {"hex rejected", {"--pid", "0x10"}, 1, InvalidPid("\"0x10\" "), kDefaults},
        {"octal 08 rejected", {"--pid=08"}, 1, InvalidPid("\"08\" "), kDefaults},
        {"inner blank rejected", {"--pid", "4 2"}, 1, InvalidPid("\"4 2\" "), kDefaults},
        {"beyond int", {"--pid=2147483648"}, 1, InvalidPid("\"2147483648\" "), kDefaults},
        {"30 digits", {"--pid=" + std::string(30, '1')}, 1, InvalidPid("\"" + std::string(30, '1') + "\" "), kDefaults},
        {"empty value", {"--pid="}, 1, InvalidPid("empty value "), kDefaults},
        {"the 12a example", {"--pid", "12a"}, 1, InvalidPid("\"12a\" "), kDefaults},
        {"80 characters shown whole", {"--pid", v80}, 1, InvalidPid("\"" + v80 + "\" "), kDefaults},
        {"81 characters cut", {"--pid", v80 + "w"}, 1, InvalidPid("\"" + v80 + "...\" "), kDefaults},
        {"value for a flag", {"--silent=1"}, 1, "error: a value for option `silent` is not required\n", kDefaults},
        {"help with a value", {"--help=x"}, 1, "error: invalid value for option  `help`\n", kDefaults},
        {"missing value", {"--silent", "--pid"}, 1, "error: missing value for option --pid\n",
         "pid=-1 silent=1 f=0 a= b= name= other= args="},
        {"missing value, both names", {"-b"}, 1, "error: missing value for option -b, --bee\n", kDefaults},
        {"dash alone", {"-"}, 1, "error: missing short option `-`\n", kDefaults},
        {"unknown short", {"-fx"}, 1, "error: unknown option `x`\n", "pid=-1 silent=0 f=1 a= b= name= other= args="},
        {"unknown long", {"--pid", "5", "--nope=3"}, 1, "error: unknown option `nope`\n",
         "pid=5 silent=0 f=0 a= b= name= other= args="},
        {"unknown empty key", {"--=3"}, 1, "error: unknown option ``\n", kDefaults},
        {"plain without holder", {"plain"}, 1, "error: unknown option `plain`\n", kDefaults, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> args = Args(row.args);
        Bound bound;
        VCommandLineParser parser(args);
        bound.Declare(parser, row.withHolder);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(parser.Parse(), row.result);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.err);
        EXPECT_EQ(bound.Text(), row.bound);
    }
}

TEST(VCommandLineParserParse, HelpRequests)
{
    struct Row {
        std::vector<std::string> args;
        bool registerH;
        int result;
        bool listing;
    };
    const std::vector<Row> rows = {
        {{"--help"}, false, 2, true},
        {{"-h"}, false, 2, true},
        {{"-?"}, false, 2, true},
        {{"-x?"}, false, 1, false},
        {{"-h"}, true, 0, false},
        {{"-?"}, true, 2, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args) + (row.registerH ? " with -h" : ""));
        std::vector<VString> args = Args(row.args);
        bool h = false;
        VCommandLineParser parser(args);
        if (row.registerH)
            parser.AddOption(u'h', VString(), h, VString("Hold"));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(parser.Parse(), row.result);
        (void)testing::internal::GetCapturedStderr();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("Usage: prog [OPTION]...\n", 0) == 0, row.listing) << out;
        EXPECT_EQ(h, row.registerH && row.result == 0);
    }
}

// Standard input on a pipe holding text, or closed.
class StStandardInput {
public:
    explicit StStandardInput(const std::string* text) : fSaved(::dup(0))
    {
        if (text) {
            int fds[2];
            EXPECT_EQ(::pipe(fds), 0);
            EXPECT_EQ(::write(fds[1], text->data(), text->size()), ssize_t(text->size()));
            ::close(fds[1]);
            ::dup2(fds[0], 0);
            ::close(fds[0]);
        } else {
            ::close(0);
        }
        std::clearerr(stdin);
    }
    ~StStandardInput()
    {
        ::dup2(fSaved, 0);
        ::close(fSaved);
        std::clearerr(stdin);
    }

private:
    int fSaved;
};

TEST(VCommandLineParserParse, StandardInputSubstitution)
{
    const std::string text = std::string(3000, 'x') + "\xC3\xA9";
    {
        StStandardInput input(&text);
        std::vector<VString> args = Args({"--name=-", "--bee=-", "--", "-"});
        Bound bound;
        VCommandLineParser parser(args);
        bound.Declare(parser, true);
        parser.SetReadingStandardInput(true);
        EXPECT_EQ(parser.Parse(), 0);
        // Read once, given to every "-" (a "-" right after an option is an option, not its value).
        EXPECT_TRUE(to_string(bound.name) == text);
        EXPECT_TRUE(to_string(bound.b) == text);
        ASSERT_EQ(bound.args.size(), 1u);
        EXPECT_TRUE(to_string(bound.args[0]) == text);
    }
    {
        StStandardInput input(nullptr);
        std::vector<VString> args = Args({"--pid=-"});
        Bound bound;
        VCommandLineParser parser(args);
        bound.Declare(parser, true);
        parser.SetReadingStandardInput(true);
        testing::internal::CaptureStderr();
        EXPECT_EQ(parser.Parse(), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: failed to read from stdin for option `pid=-`\n");
    }
}

TEST(VCommandLineParserRegistration, NothingRegisteredWithoutArguments)
{
    std::vector<VString> args = Args({});
    Bound bound;
    VCommandLineParser parser(args);
    bound.Declare(parser, true);
    parser.AddParagraph(VString("Still listed"));
    ASSERT_EQ(parser.GetOptionsInfos().GetOptions().size(), 1u);
    EXPECT_EQ(parser.GetOptionsInfos().GetArgumentHolder(), nullptr);
    VString json;
    parser.ExportAsJSON(&json);
    EXPECT_EQ(to_string(json), "{\n\t\"arguments\": {\n\t\t\"count\": 1,\n\t\t\"values\": [\n\t\t\t\"prog\"\n\t\t]\n\t},\n"
                               "\t\"options\": {\n\t\t\"count\": 1,\n\t\t\"values\": [\n\t\t\t{\n"
                               "\t\t\t\t\"paragraph\": \"Still listed\"\n\t\t\t}\n\t\t]\n\t}\n}\n");
}

TEST(VCommandLineParserRegistration, NameValidation)
{
    struct Row {
        const char* name;
        bool valid;
    };
    const Row rows[] = {{"", true}, {"x", false}, {"ab", true}, {"log-dir", true}, {"a9-b", true},
                        {"-ab", false}, {"ab-", false}, {"Ab", false}, {"a_b", false}, {"a b", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(VCommandLineParser::ValidateLongOptionName(VString(row.name)), row.valid);
    }
    for (UniChar c : {u' ', UniChar(0), u'a', u'Z', u'7'})
        EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(c)) << int(c);
    for (UniChar c : {u'-', u'?', u'_', UniChar(0xE9)})
        EXPECT_FALSE(VCommandLineParser::ValidateShortOptionName(c)) << int(c);
}

const std::string kParagraph79 = std::string(70, 'p') + " 34567890";
const std::string kParagraph80 = std::string(70, 'q') + " 345678901";
const std::string kParagraph85 = std::string(75, 'r') + " 4567 901.";
const char* const kWrappedAtPeriod = "A description of more than fifty-one characters.Wraps here";

// A parser exercising every column rule of the listings: short-only options with and without a
// value, long names of 14 and 15 characters with a value, a registered h, hidden entries,
// paragraphs of 79 and 80 characters, tabs in a description, a long description.
struct ListingParser {
    std::vector<VString> args = Args({"x"});
    bool flag = false, hiddenFlag = false, h = false;
    VString value, shortValue, other;
    int count = 0;
    std::vector<VString> held;
    VCommandLineParser parser{args};

    ListingParser()
    {
        parser.AddOption(u' ', VString("secret"), hiddenFlag, VString("Hidden"), true);
        parser.AddOption(u'v', VString(), flag, VString("Verbose\toutput"));
        parser.AddOption(u'n', VString(), count, VString("Count"));
        parser.AddOption(u'h', VString("restart-params"), value, VString("Fourteen"));
        parser.AddOption(u' ', VString("restart-paramsx"), other, VString("Fifteen"));
        parser.AddParagraph(VString(kParagraph79.c_str()));
        parser.AddParagraph(VString(kParagraph80.c_str()));
        parser.AddParagraph(VString(kParagraph85.c_str()));
        parser.AddParagraph(VString());
        parser.AddOption(u's', VString("size"), shortValue, VString(kWrappedAtPeriod));
        parser.AddArguments(held);
    }
};

TEST(VCommandLineParserListings, HelpUsageColumnsAndWrapping)
{
    ListingParser listing;
    const std::string expected =
        "Usage: /bin/x [OPTION]... [FILE]...\n"
        "\n"
        "  -v" + std::string(20, ' ') + "Verboseoutput\n"
        "  -n VALUE" + std::string(14, ' ') + "Count\n"
        "  -h, --restart-params=VALUE Fourteen\n"
        "      --restart-paramsx=VALUE\n"
        "                             Fifteen\n" +
        kParagraph79 + "\n" + kParagraph80 + "\n" + std::string(75, 'r') + "\n4567 901.\n"
        "  -s, --size=VALUE" + std::string(11, ' ') + "A description of more than fifty-one characters.\n"
        "                             Wraps here\n"
        "      --help" + std::string(17, ' ') + "Display the help and exit\n";
    VString text;
    listing.parser.GetOptionsInfos().BuildHelpUsage(VString("/bin/x"), false, text);
    EXPECT_EQ(to_string(text), expected);

    text.Clear();
    listing.parser.GetOptionsInfos().BuildHelpUsage(VString("p"), true, text);
    const std::string colour = to_string(text);
    EXPECT_NE(colour.find("\x1B[0;32m  -v" + std::string(20, ' ') + "\x1B[0mVerboseoutput\n"), std::string::npos);
    EXPECT_NE(colour.find("\x1B[0;33m" + kParagraph79 + "\x1B[0m\n"), std::string::npos);
    EXPECT_NE(colour.find("\x1B[0;32m      --restart-paramsx=VALUE\n" + std::string(29, ' ') + "\x1B[0mFifteen\n"),
              std::string::npos);

    // Redirected standard output never gets colour.
    testing::internal::CaptureStdout();
    listing.parser.GetOptionsInfos().HelpUsage(VString("/bin/x"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

TEST(VCommandLineParserListings, BlankLineAfterTheUsageLine)
{
    struct Row {
        const char* name;
        std::vector<std::pair<bool, bool>> entries;   // (option?, hidden?)
        std::string expected;
    };
    const std::string usage = "Usage: p [OPTION]...\n";
    const std::string option = "      --opt" + std::string(18, ' ') + "O\n";
    const std::string help = "  -h, --help" + std::string(17, ' ') + "Display the help and exit\n";
    const std::vector<Row> rows = {
        {"empty", {}, usage + help},
        {"option first", {{true, false}}, usage + "\n" + option + help},
        {"paragraph first", {{false, false}, {true, false}}, usage + "P\n" + option + help},
        {"hidden option, then option", {{true, true}, {true, false}}, usage + "\n" + option + help},
        {"hidden option, then paragraph", {{true, true}, {false, false}}, usage + "P\n" + help},
        {"only hidden", {{true, true}}, usage + help},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<VString> args = Args({"x"});
        bool target = false;
        VCommandLineParser parser(args);
        for (auto [isOption, hidden] : row.entries) {
            if (isOption)
                parser.AddOption(u' ', VString("opt"), target, VString("O"), hidden);
            else
                parser.AddParagraph(VString("P"));
        }
        VString text;
        parser.GetOptionsInfos().BuildHelpUsage(VString("p"), false, text);
        EXPECT_EQ(to_string(text), row.expected);
    }
}

TEST(VCommandLineParserListings, ManPage)
{
    ListingParser listing;
    listing.parser.AddParagraph(VString("Tail \"quoted\"\n\tend\\"));
    VString man("prefix\n");
    listing.parser.ExportAsManPage(&man);
    EXPECT_EQ(to_string(man),
              "prefix\n.SH OPTIONS\n"
              ".TP\n.BR \\-v\nVerboseoutput\n"
              ".TP\n.BR \\-n \\fIVALUE\\fR\nCount\n"
              ".TP\n.BR \\-h \", \" \\-\\-restart-params=\\fIVALUE\\fR\nFourteen\n"
              ".TP\n.BR \\-\\-restart-paramsx=\\fIVALUE\\fR\nFifteen\n"
              ".SS \"" + kParagraph79 + "\"\n.SS \"" + kParagraph80 + "\"\n.SS \"" + kParagraph85 + "\"\n"
              ".SS \"\"\n"
              ".TP\n.BR \\-s \", \" \\-\\-size=\\fIVALUE\\fR\n" + kWrappedAtPeriod + "\n"
              ".SS \"Tail \\\"quoted\\\"end\\\\\"\n");
}

TEST(VCommandLineParserListings, JSONDocument)
{
    std::vector<VString> args = Args({"q\"\\\x01"});
    bool flag = false;
    VString value;
    VCommandLineParser parser(args);
    parser.AddOption(u' ', VString("secret"), flag, VString("Hidden"), true);
    parser.AddOption(u'n', VString("size"), value, VString("Size\tin/bytes"));
    parser.AddParagraph(VString("Tail \"quoted\"\n\x7F"));
    VString json("replaced");
    parser.ExportAsJSON(&json);
    const std::string expected =
        "{\n\t\"arguments\": {\n\t\t\"count\": 2,\n\t\t\"values\": [\n\t\t\t\"prog\",\n\t\t\t\"q\\\"\\\\\\u0001\"\n"
        "\t\t]\n\t},\n\t\"options\": {\n\t\t\"count\": 3,\n\t\t\"values\": [\n"
        "\t\t\t{\n\t\t\t\t\"longName\": \"secret\",\n\t\t\t\t\"description\": \"Hidden\"\n\t\t\t},\n"
        "\t\t\t{\n\t\t\t\t\"shortName\": \"n\",\n\t\t\t\t\"longName\": \"size\",\n\t\t\t\t\"requiresValue\": true,\n"
        "\t\t\t\t\"description\": \"Size\\tin/bytes\"\n\t\t\t},\n"
        "\t\t\t{\n\t\t\t\t\"paragraph\": \"Tail \\\"quoted\\\"\\n\\u007F\"\n\t\t\t}\n"
        "\t\t]\n\t}\n}\n";
    EXPECT_EQ(to_string(json), expected);

    // Read back by the strict JSON parser, the escaped texts come back whole.
    VJSONValue document;
    ASSERT_EQ(VJSONImporter::ParseString(json, document, kJSONOptionStrict), VE_OK);
    VString text;
    EXPECT_EQ(document.GetProperty(VString("arguments")).GetProperty(VString("values")).GetArray()->GetAt(1).GetString(text), VE_OK);
    EXPECT_EQ(to_string(text), "q\"\\\x01");
    const VJSONValue options = document.GetProperty(VString("options"));
    EXPECT_EQ(options.GetProperty(VString("count")).GetNumber(), 3);
    EXPECT_EQ(options.GetProperty(VString("values")).GetArray()->GetAt(2).GetProperty(VString("paragraph")).GetString(text), VE_OK);
    EXPECT_EQ(to_string(text), "Tail \"quoted\"\n\x7F");

    testing::internal::CaptureStderr();
    parser.PrintAllArguments(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), expected + "\n");
}

} // namespace
} // namespace nuvo
