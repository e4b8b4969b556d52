#pragma once

#include <string>

#include "option_base.h"
#include "parser_class.h"

namespace cmdline {

// A flag: it is given or not, and takes no text.
class parser::option_without_value : public parser::option_base
{
public:
    option_without_value(const std::string &name, char letter, const std::string &description);

    bool takes_value() const override;
    bool assign_text(const std::string &text) override;
    bool assign_present() override;
    bool was_given() const override;
    bool is_satisfied() const override;
    bool is_required() const override;
    const std::string &long_name() const override;
    char short_letter() const override;
    const std::string &help_text() const override;
    std::string usage_form() const override;

private:
    std::string m_name;
    char m_letter;
    std::string m_helpText;
    bool m_given = false;
};

} // namespace cmdline
