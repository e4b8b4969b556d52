#pragma once

#include <osg/Group>
#include <osg/ref_ptr>

#include "geo/GlobeSurface.h"
#include "geo/Map.h"
#include "geo/Terrain.h"

namespace geo {

// The scene node of a map: holds the drawn globe as its first child and is
// the parent under which things placed on the globe (marks, lines, sectors)
// are added. Reading an earth file with osgDB::readNodeFile gives a map
// node (see EarthFileReader).
class MapNode : public osg::Group
{
public:
    explicit MapNode(Map *map);

    Map *getMap() const { return m_map.get(); }
    // The map's spatial reference: geographic WGS84.
    const SpatialReference *getMapSRS() const { return m_map->getSRS(); }
    Terrain *getTerrain() const { return m_terrain.get(); }
    GlobeSurface *getGlobe() const { return m_globe.get(); }

    // The first map node at or below `graph`, looking only into nodes whose
    // mask shares a bit with `traversalMask`; null when there is none.
    static MapNode *findMapNode(osg::Node *graph, unsigned traversalMask = 0xFFFFFFFFu);

private:
    osg::ref_ptr<Map> m_map;
    osg::ref_ptr<Terrain> m_terrain;
    osg::ref_ptr<GlobeSurface> m_globe;
};

} // namespace geo
