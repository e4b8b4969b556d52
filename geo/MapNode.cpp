#include "geo/MapNode.h"

#include <osg/NodeVisitor>
#include <osgDB/Registry>

#include "geo/EarthFileReader.h"

namespace geo {

// Registered here, not beside the reader: the globe library is static, and
// the linker keeps this file in every program that looks for a map node,
// which is every program that reads earth files.
static osgDB::RegisterReaderWriterProxy<EarthFileReader> earthFileReaderProxy;

MapNode::MapNode(Map *map) : m_map(map), m_terrain(new Terrain), m_globe(new GlobeSurface(map->getWorldImage()))
{
    setName("map");
    addChild(m_globe.get());
}

namespace {

class MapNodeFinder : public osg::NodeVisitor
{
public:
    explicit MapNodeFinder(unsigned traversalMask)
        : osg::NodeVisitor(osg::NodeVisitor::TRAVERSE_ALL_CHILDREN)
    {
        setTraversalMask(traversalMask);
    }

    void apply(osg::Group &group) override
    {
        if (found)
            return;
        found = dynamic_cast<MapNode *>(&group);
        if (!found)
            traverse(group);
    }

    MapNode *found = nullptr;
};

} // namespace

MapNode *MapNode::findMapNode(osg::Node *graph, unsigned traversalMask)
{
    if (!graph)
        return nullptr;
    MapNodeFinder finder(traversalMask);
    graph->accept(finder);
    return finder.found;
}

} // namespace geo
