#pragma once

#include <exception>
#include <string>

namespace cmdline {

// Thrown for misuse by the caller of the parser (a name added twice, a value
// read under an unknown name or as the wrong type). Problems in the parsed
// words never throw; they are collected by the parser.
class cmdline_error : public std::exception
{
public:
    explicit cmdline_error(const std::string &message) : m_message(message) {}
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

} // namespace cmdline
