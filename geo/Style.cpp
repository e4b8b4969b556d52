#include "geo/Style.h"

namespace geo {

Style::Style(const std::string &name)
    : m_name(name)
{
}

Style::Style(const Style &other)
    : m_name(other.m_name)
{
    for (const auto &symbol : other.m_symbols)
        m_symbols.push_back(symbol->clone());
}

Style &Style::operator=(const Style &other)
{
    if (this != &other) {
        Style copy(other);
        m_name = std::move(copy.m_name);
        m_symbols = std::move(copy.m_symbols);
    }
    return *this;
}

} // namespace geo
