#pragma once

#include <string>

#include "cmdline_error.h"
#include "default_reader.h"
#include "oneof_reader.h"
#include "option_base.h"
#include "option_with_value.h"
#include "option_with_value_with_reader.h"
#include "option_without_value.h"
#include "parser_class.h"

namespace cmdline {

template <typename T>
void parser::add_option(const std::string &name, char letter, const std::string &description,
                        bool required, const T &defaultValue)
{
    add_option<T, default_reader<T>>(name, letter, description, required, defaultValue,
                                     default_reader<T>());
}

template <typename T, typename R>
void parser::add_option(const std::string &name, char letter, const std::string &description,
                        bool required, const T &defaultValue, R reader)
{
    if (m_options.count(name))
        throw cmdline_error("multiple definition: " + name);
    add(new option_with_value_with_reader<T, R>(name, letter, description, required,
                                                defaultValue, reader));
}

template <typename T>
const T &parser::value_of(const std::string &name) const
{
    const option_base *option = find(name);
    if (!option)
        throw cmdline_error("there is no flag: --" + name);
    // Any reader of the right value type will do, hence the test on the
    // common base of all readers.
    auto typed = dynamic_cast<const option_with_value<T> *>(option);
    if (!typed)
        throw cmdline_error("type mismatch flag '" + name + "'");
    return typed->current_value();
}

} // namespace cmdline
