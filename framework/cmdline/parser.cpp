#include "parser.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace cmdline {

namespace {

// A null entry in the vector is read as an empty word rather than followed.
std::string word_at(const char *const *argv, int i)
{
    return argv[i] ? std::string(argv[i]) : std::string();
}

} // namespace

parser::~parser()
{
    for (auto &entry : m_options)
        delete entry.second;
}

void parser::add_flag(const std::string &name, char letter, const std::string &description)
{
    if (m_options.count(name))
        throw cmdline_error("multiple definition: " + name);
    add(new option_without_value(name, letter, description));
}

void parser::add(option_base *option)
{
    m_options[option->long_name()] = option;
    m_ordered.push_back(option);
}

parser::option_base *parser::find(const std::string &name) const
{
    auto it = m_options.find(name);
    return it == m_options.end() ? nullptr : it->second;
}

bool parser::option_given(const std::string &name) const
{
    const option_base *option = find(name);
    if (!option)
        throw cmdline_error("there is no flag: --" + name);
    return option->was_given();
}

void parser::parse_or_exit(int argc, const char *const *argv)
{
    if (!find("help"))
        add_flag("help", '?', "print this message");
    check_result(argc, parse_arguments(argc, argv));
}

bool parser::parse_arguments(int argc, const char *const *argv)
{
    m_errors.clear();
    if (argc < 1 || !argv) {
        m_errors.push_back("argument number must be longer than 0");
        return false;
    }
    if (m_programName.empty())
        m_programName = word_at(argv, 0);

    letter_table letters;
    if (!build_letter_table(letters))
        return false;

    for (int i = 1; i < argc; ++i) {
        const std::string word = word_at(argv, i);
        if (word.compare(0, 2, "--") == 0)
            parse_long(word.substr(2), i, argc, argv);
        else if (word.size() > 1 && word[0] == '-')
            parse_letters(word.substr(1), letters, i, argc, argv);
        // Anything else, the lone "-" included, is no option and is passed over.
    }

    report_missing_required();
    return m_errors.empty();
}

// A clash is reported before any word is looked at: which option a letter
// means would otherwise depend on the order of addition.
bool parser::build_letter_table(letter_table &letters)
{
    for (const auto &entry : m_options) {
        const option_base *option = entry.second;
        const char letter = option->short_letter();
        if (option->long_name().empty() || letter == 0)
            continue;
        if (letters.count(letter)) {
            m_errors.push_back(std::string("short option '") + letter + "' is ambiguous");
            return false;
        }
        letters[letter] = option->long_name();
    }
    return true;
}

void parser::parse_long(const std::string &rest, int &i, int argc, const char *const *argv)
{
    const std::size_t equals = rest.find('=');
    if (equals != std::string::npos) {
        assign_option(rest.substr(0, equals), rest.substr(equals + 1));
        return;
    }
    const option_base *option = find(rest);
    if (!option) {
        m_errors.push_back("undefined option: --" + rest);
    } else if (option->takes_value()) {
        // The next word is the value whatever it looks like, so negative
        // numbers can be given.
        if (i + 1 < argc)
            assign_option(rest, word_at(argv, ++i));
        else
            m_errors.push_back("option needs value: --" + rest);
    } else {
        assign_option(rest);
    }
}

// Every byte of a bundle is a letter of its own; only the last one may take
// the next word as its value.
void parser::parse_letters(const std::string &bundle, const letter_table &table,
                           int &i, int argc, const char *const *argv)
{
    for (std::size_t k = 0; k < bundle.size(); ++k) {
        const char letter = bundle[k];
        const auto it = table.find(letter);
        if (it == table.end()) {
            m_errors.push_back(std::string("undefined short option: -") + letter);
            continue;
        }
        const bool last = k + 1 == bundle.size();
        if (last && i + 1 < argc && find(it->second)->takes_value())
            assign_option(it->second, word_at(argv, ++i));
        else
            assign_option(it->second);
    }
}

void parser::report_missing_required()
{
    for (const auto &entry : m_options) {
        if (!entry.second->is_satisfied())
            m_errors.push_back("need option: --" + entry.first);
    }
}

void parser::assign_option(const std::string &name, const std::string &text)
{
    option_base *option = find(name);
    if (!option)
        m_errors.push_back("undefined option: --" + name);
    else if (!option->assign_text(text))
        m_errors.push_back("option value is invalid: --" + name + "=" + text);
}

void parser::assign_option(const std::string &name)
{
    option_base *option = find(name);
    if (!option)
        m_errors.push_back("undefined option: --" + name);
    else if (!option->assign_present())
        m_errors.push_back("option needs value: --" + name);
}

void parser::check_result(int argc, bool ok) const
{
    if ((argc == 1 && !ok) || option_given("help")) {
        std::cerr << usage_text() << std::flush;
        std::exit(0);
    }
    if (ok)
        return;
    std::cerr << first_error() << std::endl << usage_text() << std::flush;
    std::exit(1);
}

std::string parser::first_error() const
{
    return m_errors.empty() ? std::string() : m_errors.front();
}

std::string parser::usage_text() const
{
    std::ostringstream text;
    text << "usage: " << m_programName << " ";
    for (const option_base *option : m_ordered) {
        if (option->is_required())
            text << option->usage_form() << " ";
    }
    text << "[options] ... \n"
         << "options:\n";

    std::size_t widest = 0;
    for (const option_base *option : m_ordered)
        widest = std::max(widest, option->long_name().size());

    for (const option_base *option : m_ordered) {
        if (option->short_letter())
            text << "  -" << option->short_letter() << ", ";
        else
            text << "      ";
        text << "--" << option->long_name()
             << std::string(widest + 4 - option->long_name().size(), ' ')
             << option->help_text() << "\n";
    }
    return text.str();
}

} // namespace cmdline
