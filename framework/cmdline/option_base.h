#pragma once

#include <string>

#include "parser_class.h"

namespace cmdline {

class parser::option_base
{
public:
    virtual ~option_base() = default;
    virtual bool takes_value() const = 0;
    virtual bool assign_text(const std::string &text) = 0;
    virtual bool assign_present() = 0;
    virtual bool was_given() const = 0;
    virtual bool is_satisfied() const = 0;
    virtual bool is_required() const = 0;
    virtual const std::string &long_name() const = 0;
    virtual char short_letter() const = 0;
    virtual const std::string &help_text() const = 0;
    virtual std::string usage_form() const = 0;
};

} // namespace cmdline
