#pragma once

#include <locale>
#include <sstream>
#include <string>

#include "bad_conversion.h"

namespace cmdline {

// Turns an argument's text into a T with the standard formatted extraction.
// The whole text has to be used: "4x", "0x10" or a trailing space are
// refused rather than read as their leading number.
template <typename T>
struct default_reader
{
    T operator()(const std::string &text) const
    {
        std::istringstream stream(text);
        stream.imbue(std::locale::classic());
        T value;
        if (!(stream >> value) || stream.peek() != std::istringstream::traits_type::eof())
            throw bad_conversion();
        return value;
    }
};

template <>
struct default_reader<std::string>
{
    std::string operator()(const std::string &text) const { return text; }
};

} // namespace cmdline
