#include <QtTest>

#include <string>
#include <vector>

#include "cmdline/parser.h"

using cmdline::parser;

using Words = std::vector<std::string>;
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Words)

namespace {

// Runs parse_arguments on words given as strings; the program name is put in
// front, as the system puts it.
bool parse(parser &p, const Words &words)
{
    std::vector<const char *> argv{"tool"};
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    return p.parse_arguments(int(argv.size()), argv.data());
}

// A table with one option of every kind: letters in both cases, a required
// option, a one-of list and a flag.
void addSampleOptions(parser &p)
{
    p.add_option<int>("count", 'c', "how many", false, 3);
    p.add_option<double>("Cutter", 'C', "cutter", false, 1.2);
    p.add_option<std::string>("path", 'p', "folder", false, "");
    p.add_option<std::string>("level", 'l', "level", false, "error",
                              cmdline::make_oneof_reader("debug", "error"));
    p.add_flag("verbose", 'v', "talk more");
    p.add_flag("help", '?', "print this message");
}

} // namespace

class CmdlineParserTest : public QObject
{
    Q_OBJECT

private slots:
    void helpTextShowsTypeAndDefault_data();
    void helpTextShowsTypeAndDefault();
    void numberConversion_data();
    void numberConversion();
    void oneofAcceptsExactMembersOnly_data();
    void oneofAcceptsExactMembersOnly();
    void parseErrors_data();
    void parseErrors();
    void parsedValues_data();
    void parsedValues();
    void misuseThrows_data();
    void misuseThrows();
    void duplicateKeepsFirstInPlace();
    void shortLetterClashEndsParse();
    void usageWithoutArguments();
    void laterParseKeepsValues();
};

void CmdlineParserTest::helpTextShowsTypeAndDefault_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("required");
    QTest::addColumn<QString>("expected");
    QTest::newRow("int 3") << "int" << false << "how many (int [=3])";
    QTest::newRow("double 20.0") << "double20" << false << "scale (double [=20])";
    QTest::newRow("double 1.2") << "double1.2" << false << "scale (double [=1.2])";
    QTest::newRow("empty string") << "string" << false << "folder (string [=])";
    QTest::newRow("required string") << "required" << true << "mode (string)";
    QTest::newRow("flag") << "flag" << false << "print this message";
}

void CmdlineParserTest::helpTextShowsTypeAndDefault()
{
    QFETCH(QString, kind);
    QFETCH(bool, required);
    QFETCH(QString, expected);
    parser p;
    if (kind == "int")
        p.add_option<int>("o", 0, "how many", required, 3);
    else if (kind == "double20")
        p.add_option<double>("o", 0, "scale", required, 20.0);
    else if (kind == "double1.2")
        p.add_option<double>("o", 0, "scale", required, 1.2);
    else if (kind == "string")
        p.add_option<std::string>("o", 0, "folder", required, "");
    else if (kind == "required")
        p.add_option<std::string>("o", 0, "mode", required, "anything");
    else
        p.add_flag("o", 0, "print this message");
    const std::string usage = p.usage_text();
    const std::string line = "      --o    " + expected.toStdString() + "\n";
    QVERIFY2(usage.find(line) != std::string::npos, usage.c_str());
}

void CmdlineParserTest::numberConversion_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("value");
    QTest::newRow("int plain") << "int" << "42" << true << 42.0;
    QTest::newRow("int negative") << "int" << "-7" << true << -7.0;
    QTest::newRow("int leading spaces") << "int" << "  5" << true << 5.0;
    QTest::newRow("int trailing space") << "int" << "5 " << false << 0.0;
    QTest::newRow("int trailing letter") << "int" << "4x" << false << 0.0;
    QTest::newRow("int hex prefix") << "int" << "0x10" << false << 0.0;
    QTest::newRow("int exponent") << "int" << "1e3" << false << 0.0;
    QTest::newRow("int too large") << "int" << "2147483648" << false << 0.0;
    QTest::newRow("int too small") << "int" << "-2147483649" << false << 0.0;
    QTest::newRow("int empty") << "int" << "" << false << 0.0;
    QTest::newRow("int word") << "int" << "abc" << false << 0.0;
    QTest::newRow("double exponent") << "double" << "1e3" << true << 1000.0;
    QTest::newRow("double fraction") << "double" << "0.5" << true << 0.5;
    QTest::newRow("double empty") << "double" << "" << false << 0.0;
    QTest::newRow("double trailing space") << "double" << "2.5 " << false << 0.0;
    QTest::newRow("double comma") << "double" << "2,5" << false << 0.0;
}

void CmdlineParserTest::numberConversion()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(double, value);
    parser p;
    p.add_option<int>("int", 0, "", false, 0);
    p.add_option<double>("double", 0, "", false, 0.0);
    const std::string word = "--" + kind.toStdString() + "=" + text.toStdString();
    if (!accepted)
        QTest::ignoreMessage(QtDebugMsg, "bad cast");
    QCOMPARE(parse(p, {word}), accepted);
    if (accepted) {
        const double got = kind == "int" ? p.value_of<int>("int") : p.value_of<double>("double");
        QCOMPARE(got, value);
    } else {
        QCOMPARE(p.first_error(), "option value is invalid: " + word);
        QVERIFY(!p.option_given(kind.toStdString()));
    }
}

void CmdlineParserTest::oneofAcceptsExactMembersOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("member") << "debug" << true;
    QTest::newRow("other case") << "Error" << false;
    QTest::newRow("leading space") << " error" << false;
    QTest::newRow("prefix") << "err" << false;
    QTest::newRow("empty") << "" << false;
}

void CmdlineParserTest::oneofAcceptsExactMembersOnly()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    parser p;
    addSampleOptions(p);
    if (!accepted)
        QTest::ignoreMessage(QtDebugMsg, "");
    QCOMPARE(parse(p, {"--level=" + text.toStdString()}), accepted);
    QCOMPARE(p.value_of<std::string>("level"), accepted ? text.toStdString() : "error");
}

void CmdlineParserTest::parseErrors_data()
{
    QTest::addColumn<Words>("words");
    QTest::addColumn<std::string>("error");
    QTest::newRow("unknown long") << Words{"--nothing"} << std::string("undefined option: --nothing");
    QTest::newRow("unknown long with text")
        << Words{"--nothing=5"} << std::string("undefined option: --nothing");
    QTest::newRow("double dash alone") << Words{"--"} << std::string("undefined option: --");
    QTest::newRow("empty name with text") << Words{"--=x"} << std::string("undefined option: --");
    QTest::newRow("value missing at end") << Words{"--count"} << std::string("option needs value: --count");
    QTest::newRow("letter missing value at end") << Words{"-c"} << std::string("option needs value: --count");
    QTest::newRow("value letter inside bundle")
        << Words{"-cv", "x"} << std::string("option needs value: --count");
    QTest::newRow("unknown letter") << Words{"-z"} << std::string("undefined short option: -z");
    QTest::newRow("unknown letter in bundle") << Words{"-vz"} << std::string("undefined short option: -z");
    QTest::newRow("text for a flag") << Words{"--help=1"} << std::string("option value is invalid: --help=1");
    QTest::newRow("empty text for int")
        << Words{"--count="} << std::string("option value is invalid: --count=");
    QTest::newRow("next word judged by reader")
        << Words{"--count", "--verbose"} << std::string("option value is invalid: --count=--verbose");
    QTest::newRow("first of several")
        << Words{"-z", "--nothing"} << std::string("undefined short option: -z");
}

void CmdlineParserTest::parseErrors()
{
    QFETCH(Words, words);
    QFETCH(std::string, error);
    parser p;
    addSampleOptions(p);
    if (error.find("invalid: --count") != std::string::npos)
        QTest::ignoreMessage(QtDebugMsg, "bad cast");
    QVERIFY(!parse(p, words));
    QCOMPARE(p.first_error(), error);
}

void CmdlineParserTest::parsedValues_data()
{
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("cutter");
    QTest::addColumn<std::string>("path");
    QTest::addColumn<bool>("verbose");
    QTest::newRow("defaults") << Words{} << 3 << 1.2 << std::string() << false;
    QTest::newRow("long with next word") << Words{"--count", "7"} << 7 << 1.2 << std::string() << false;
    QTest::newRow("negative next word") << Words{"--count", "-2"} << -2 << 1.2 << std::string() << false;
    QTest::newRow("letters keep case apart")
        << Words{"-c", "2", "-C", "0.5"} << 2 << 0.5 << std::string() << false;
    QTest::newRow("bundle last takes value") << Words{"-vc", "9"} << 9 << 1.2 << std::string() << true;
    QTest::newRow("text after first equals") << Words{"--path=b=c"} << 3 << 1.2 << std::string("b=c") << false;
    QTest::newRow("empty string text") << Words{"--path="} << 3 << 1.2 << std::string() << false;
    QTest::newRow("dash word as value") << Words{"--path", "-x"} << 3 << 1.2 << std::string("-x") << false;
    QTest::newRow("plain words and lone dash")
        << Words{"file", "-", "--verbose"} << 3 << 1.2 << std::string() << true;
    QTest::newRow("later value wins") << Words{"-c", "1", "--count=5"} << 5 << 1.2 << std::string() << false;
    QTest::newRow("utf-8 unchanged")
        << Words{"-p", "/tmp/\xe7\x85\xa7\xe7\x89\x87 caf\xc3\xa9"} << 3 << 1.2
        << std::string("/tmp/\xe7\x85\xa7\xe7\x89\x87 caf\xc3\xa9") << false;
}

void CmdlineParserTest::parsedValues()
{
    QFETCH(Words, words);
    QFETCH(int, count);
    QFETCH(double, cutter);
    QFETCH(std::string, path);
    QFETCH(bool, verbose);
    parser p;
    addSampleOptions(p);
    QVERIFY2(parse(p, words), p.first_error().c_str());
    QCOMPARE(p.value_of<int>("count"), count);
    QCOMPARE(p.value_of<double>("Cutter"), cutter);
    QCOMPARE(p.value_of<std::string>("path"), path);
    QCOMPARE(p.option_given("verbose"), verbose);
}

void CmdlineParserTest::misuseThrows_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<std::string>("message");
    QTest::newRow("add option twice") << "add count" << std::string("multiple definition: count");
    QTest::newRow("add flag over option") << "flag count" << std::string("multiple definition: count");
    QTest::newRow("unknown name") << "value nothing" << std::string("there is no flag: --nothing");
    QTest::newRow("int from double") << "int Cutter" << std::string("type mismatch flag 'Cutter'");
    QTest::newRow("value of a flag") << "int verbose" << std::string("type mismatch flag 'verbose'");
    QTest::newRow("given of unknown") << "given nothing" << std::string("there is no flag: --nothing");
}

void CmdlineParserTest::misuseThrows()
{
    QFETCH(QString, call);
    QFETCH(std::string, message);
    parser p;
    addSampleOptions(p);
    const QStringList parts = call.split(' ');
    const std::string name = parts[1].toStdString();
    try {
        if (parts[0] == "add")
            p.add_option<double>(name, 0, "", false, 0.0);
        else if (parts[0] == "flag")
            p.add_flag(name, 0, "");
        else if (parts[0] == "value")
            p.value_of<std::string>(name);
        else if (parts[0] == "int")
            p.value_of<int>(name);
        else
            p.option_given(name);
        QFAIL("no exception");
    } catch (const cmdline::cmdline_error &e) {
        QCOMPARE(std::string(e.what()), message);
    }
}

void CmdlineParserTest::duplicateKeepsFirstInPlace()
{
    parser p;
    p.add_option<int>("first", 'a', "one", false, 1);
    p.add_flag("second", 'a', "two");
    QVERIFY_EXCEPTION_THROWN(p.add_flag("first", 'f', "again"), cmdline::cmdline_error);
    QCOMPARE(p.value_of<int>("first"), 1);
    QCOMPARE(p.usage_text(), std::string("usage:  [options] ... \n"
                                         "options:\n"
                                         "  -a, --first     one (int [=1])\n"
                                         "  -a, --second    two\n"));
}

void CmdlineParserTest::shortLetterClashEndsParse()
{
    parser p;
    p.add_flag("beta", 'x', "");
    p.add_flag("alpha", 'x', "");
    p.add_flag("help", '?', "");
    QVERIFY(!parse(p, {"-?", "--nothing"}));
    QCOMPARE(p.first_error(), std::string("short option 'x' is ambiguous"));
    QVERIFY(!p.option_given("help"));
}

void CmdlineParserTest::usageWithoutArguments()
{
    parser p;
    p.add_flag("help", '?', "print this message");
    QVERIFY(!p.parse_arguments(0, nullptr));
    QCOMPARE(p.first_error(), std::string("argument number must be longer than 0"));
    QCOMPARE(p.usage_text(), std::string("usage:  [options] ... \n"
                                         "options:\n"
                                         "  -?, --help    print this message\n"));
}

void CmdlineParserTest::laterParseKeepsValues()
{
    parser p;
    addSampleOptions(p);
    QVERIFY(parse(p, {"--count=8"}));
    QTest::ignoreMessage(QtDebugMsg, "bad cast");
    QVERIFY(!parse(p, {"--count=x"}));
    QVERIFY(parse(p, {}));
    QCOMPARE(p.value_of<int>("count"), 8);
    QVERIFY(p.option_given("count"));
}

QTEST_APPLESS_MAIN(CmdlineParserTest)
#include "tst_cmdline_parser.moc"
