// The command-line parser on any argument vector, driven below the call
// that would end the process: every problem must come back as an error.
#include <QByteArray>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkOptions.h"
#include "FuzzSupport.h"
#include "cmdline/parser.h"

namespace {

// Words are separated by NUL bytes; a word that is a lone 0x01 byte stands
// for a null entry in the vector.
std::vector<std::string> splitWords(const uint8_t *data, size_t size)
{
    std::vector<std::string> words{"fuzz"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(char(data[i]));
        }
    }
    words.push_back(word);
    return words;
}

bool isOneOf(const std::string &value, const std::vector<std::string> &alternatives)
{
    return std::find(alternatives.begin(), alternatives.end(), value) != alternatives.end();
}

void checkValues(const cmdline::parser &parser)
{
    FUZZ_CHECK(isOneOf(parser.value_of<std::string>("log"),
                       {"information", "debug", "warning", "error", "fatal"}));
    FUZZ_CHECK(isOneOf(parser.value_of<std::string>("ui"),
                       {"startup", "login", "authority", "originalphoto", "photodata",
                        "template", "discharge"}));
    // An option never given keeps its default, whatever else went wrong.
    if (!parser.option_given("subphoto-row"))
        FUZZ_CHECK(parser.value_of<int>("subphoto-row") == 0);
    if (!parser.option_given("subphoto-cutter-diameter"))
        FUZZ_CHECK(parser.value_of<double>("subphoto-cutter-diameter") == 1.2);
    if (!parser.option_given("subphoto-path"))
        FUZZ_CHECK(parser.value_of<std::string>("subphoto-path").empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const bool withRequired = size > 0 && (data[0] & 1);
    const std::vector<std::string> words = splitWords(data, size);
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word == "\x01" ? nullptr : word.c_str());

    cmdline::parser parser;
    FrameworkOptions::Add(parser);
    parser.add_flag("help", '?', "print this message");
    if (withRequired)
        parser.add_option<int>("count", 'n', "a required number", true, 7);

    const bool ok = parser.parse_arguments(int(argv.size()), argv.data());
    FUZZ_CHECK(ok == parser.first_error().empty());
    if (ok && withRequired)
        FUZZ_CHECK(parser.option_given("count"));
    checkValues(parser);

    const std::string usage = parser.usage_text();
    FUZZ_CHECK(usage.find("--subphoto-mm-pixel-scale-x") != std::string::npos);

    // Values only accumulate, so what parsed once parses again.
    const bool again = parser.parse_arguments(int(argv.size()), argv.data());
    FUZZ_CHECK(!ok || again);
    return 0;
}
