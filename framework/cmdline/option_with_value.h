#pragma once

#include <QDebug>

#include <exception>
#include <sstream>
#include <string>

#include "option_base.h"
#include "parser_class.h"

namespace cmdline {

template <typename T> const char *type_label();
template <> inline const char *type_label<int>() { return "int"; }
template <> inline const char *type_label<double>() { return "double"; }
template <> inline const char *type_label<std::string>() { return "string"; }

// An option that takes one value of type T; turning text into a T is left
// to the derived class.
template <typename T>
class parser::option_with_value : public parser::option_base
{
public:
    option_with_value(const std::string &name, char letter, const std::string &description,
                      bool required, const T &defaultValue)
        : m_name(name), m_letter(letter), m_required(required),
          m_helpText(compose_help(description, required, defaultValue)),
          m_default(defaultValue), m_value(defaultValue)
    {
    }

    bool takes_value() const override { return true; }

    // A text that does not convert leaves the earlier value and the given
    // flag as they were, so the last valid assignment wins.
    bool assign_text(const std::string &text) override
    {
        try {
            m_value = convert_text(text);
        } catch (const std::exception &e) {
            qDebug() << e.what();
            return false;
        }
        m_given = true;
        return true;
    }

    bool assign_present() override { return false; }
    bool was_given() const override { return m_given; }
    bool is_satisfied() const override { return !m_required || m_given; }
    bool is_required() const override { return m_required; }
    const std::string &long_name() const override { return m_name; }
    char short_letter() const override { return m_letter; }
    const std::string &help_text() const override { return m_helpText; }
    std::string usage_form() const override { return "--" + m_name + "=" + type_label<T>(); }

    virtual T convert_text(const std::string &text) = 0;

    const T &current_value() const { return m_value; }

private:
    static std::string compose_help(const std::string &description, bool required,
                                    const T &defaultValue)
    {
        std::ostringstream text;
        text << description << " (" << type_label<T>();
        if (!required)
            text << " [=" << defaultValue << "]";
        text << ")";
        return text.str();
    }

    std::string m_name;
    char m_letter;
    bool m_required;
    std::string m_helpText;
    bool m_given = false;
    T m_default;
    T m_value;
};

} // namespace cmdline
