#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "cmdline_error.h"
#include "default_reader.h"

namespace cmdline {

// Accepts only a value equal, byte for byte, to one of its alternatives.
template <typename T>
class oneof_reader
{
public:
    void add(const T &alternative) { m_alternatives.push_back(alternative); }

    T operator()(const std::string &text) const
    {
        T value = default_reader<T>()(text);
        if (std::find(m_alternatives.begin(), m_alternatives.end(), value) == m_alternatives.end())
            throw cmdline_error(std::string());
        return value;
    }

private:
    std::vector<T> m_alternatives;
};

template <typename... Words>
oneof_reader<std::string> make_oneof_reader(const Words &...words)
{
    oneof_reader<std::string> reader;
    (reader.add(std::string(words)), ...);
    return reader;
}

} // namespace cmdline
