#pragma once

#include <map>
#include <string>
#include <vector>

namespace cmdline {

// A typed command-line parser: options are added, the argument vector is
// parsed once, then typed values are read back by long name.
//
// Problems found in the words become entries of an error list and never
// throw; parse_arguments() and first_error() expose them without ending the
// process, parse_or_exit() ends it with the usage text.
class parser
{
public:
    class option_base;
    class option_without_value;
    template <typename T> class option_with_value;
    template <typename T, typename R> class option_with_value_with_reader;

    parser() = default;
    ~parser();
    parser(const parser &) = delete;
    parser &operator=(const parser &) = delete;

    void add_flag(const std::string &name, char letter, const std::string &description);

    template <typename T>
    void add_option(const std::string &name, char letter, const std::string &description,
                    bool required, const T &defaultValue);

    template <typename T, typename R>
    void add_option(const std::string &name, char letter, const std::string &description,
                    bool required, const T &defaultValue, R reader);

    template <typename T>
    const T &value_of(const std::string &name) const;

    bool option_given(const std::string &name) const;

    void parse_or_exit(int argc, const char *const *argv);
    bool parse_arguments(int argc, const char *const *argv);
    void check_result(int argc, bool ok) const;

    std::string first_error() const;
    std::string usage_text() const;

    void assign_option(const std::string &name, const std::string &text);
    void assign_option(const std::string &name);

private:
    using letter_table = std::map<char, std::string>;

    void add(option_base *option);
    option_base *find(const std::string &name) const;
    bool build_letter_table(letter_table &letters);
    void parse_long(const std::string &rest, int &i, int argc, const char *const *argv);
    void parse_letters(const std::string &letters, const letter_table &table,
                       int &i, int argc, const char *const *argv);
    void report_missing_required();

    std::map<std::string, option_base *> m_options;
    std::vector<option_base *> m_ordered;
    std::string m_programName;
    std::vector<std::string> m_errors;
};

} // namespace cmdline
