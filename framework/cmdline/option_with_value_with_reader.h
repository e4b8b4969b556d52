#pragma once

#include <string>

#include "option_with_value.h"
#include "parser_class.h"

namespace cmdline {

template <typename T, typename R>
class parser::option_with_value_with_reader : public parser::option_with_value<T>
{
public:
    option_with_value_with_reader(const std::string &name, char letter,
                                  const std::string &description, bool required,
                                  const T &defaultValue, R reader)
        : parser::option_with_value<T>(name, letter, description, required, defaultValue),
          m_reader(reader)
    {
    }

    T convert_text(const std::string &text) override { return m_reader(text); }

private:
    R m_reader;
};

} // namespace cmdline
