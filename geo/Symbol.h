#pragma once

#include <osg/Referenced>
#include <osg/ref_ptr>

namespace geo {

// One aspect of how a feature is drawn (its line, fill, text, ...). A style
// holds at most one symbol of each kind and copies them deeply, so a copy of
// a style can be changed without touching the original.
class Symbol : public osg::Referenced
{
public:
    virtual osg::ref_ptr<Symbol> clone() const = 0;
};

// Gives a symbol class its deep copy.
template<class Derived>
class SymbolOf : public Symbol
{
public:
    osg::ref_ptr<Symbol> clone() const override
    {
        return new Derived(static_cast<const Derived &>(*this));
    }
};

} // namespace geo
