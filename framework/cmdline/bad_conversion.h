#pragma once

#include <typeinfo>

namespace cmdline {

// A text that is not a number of the wanted type. It is a std::bad_cast so
// that callers catching that still see it; the message is the one the
// debug log is expected to show.
class bad_conversion : public std::bad_cast
{
public:
    const char *what() const noexcept override { return "bad cast"; }
};

} // namespace cmdline
