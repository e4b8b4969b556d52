#include "parser.h"

namespace cmdline {

parser::option_without_value::option_without_value(const std::string &name, char letter,
                                                   const std::string &description)
    : m_name(name), m_letter(letter), m_helpText(description)
{
}

bool parser::option_without_value::takes_value() const { return false; }

bool parser::option_without_value::assign_text(const std::string &) { return false; }

bool parser::option_without_value::assign_present()
{
    m_given = true;
    return true;
}

bool parser::option_without_value::was_given() const { return m_given; }

bool parser::option_without_value::is_satisfied() const { return true; }

bool parser::option_without_value::is_required() const { return false; }

const std::string &parser::option_without_value::long_name() const { return m_name; }

char parser::option_without_value::short_letter() const { return m_letter; }

const std::string &parser::option_without_value::help_text() const { return m_helpText; }

std::string parser::option_without_value::usage_form() const { return "--" + m_name; }

} // namespace cmdline
