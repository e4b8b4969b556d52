#pragma once

#include <osg/Node>
#include <osg/NodeVisitor>

// The first node of type T anywhere under `graph`, as a traversal meets it;
// null without one.
template<class T>
T *firstUnder(osg::Node *graph)
{
    struct Finder : osg::NodeVisitor
    {
        Finder() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Node &node) override
        {
            if (found == nullptr)
                found = dynamic_cast<T *>(&node);
            if (found == nullptr)
                traverse(node);
        }
        T *found = nullptr;
    } finder;
    graph->accept(finder);
    return finder.found;
}
