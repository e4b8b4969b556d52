#pragma once

#include <osg/ref_ptr>

#include <string>
#include <vector>

#include "geo/Symbol.h"

namespace geo {

// A named set of symbols, at most one of each kind. Copies are deep.
class Style
{
public:
    explicit Style(const std::string &name = std::string());
    Style(const Style &other);
    Style &operator=(const Style &other);

    const std::string &getName() const { return m_name; }
    bool empty() const { return m_symbols.empty(); }

    template<class T>
    const T *get() const
    {
        for (const auto &symbol : m_symbols) {
            if (auto typed = dynamic_cast<const T *>(symbol.get()))
                return typed;
        }
        return nullptr;
    }

    template<class T>
    T *getOrCreate()
    {
        if (const T *found = get<T>())
            return const_cast<T *>(found);
        T *made = new T;
        m_symbols.emplace_back(made);
        return made;
    }

private:
    std::string m_name;
    std::vector<osg::ref_ptr<Symbol>> m_symbols;
};

} // namespace geo
