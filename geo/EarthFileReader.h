#pragma once

#include <osgDB/ReaderWriter>

namespace geo {

// Reads earth files: the osgDB reader for the ".earth" extension, so that
// osgDB::readNodeFile("world.earth") gives the MapNode the file describes.
//
// An earth file is XML:
//
//   <globe name="World">
//       <image-layer name="World imagery" file="earth.jpg"/>
//   </globe>
//
// The root element is <globe> (its name attribute is optional); it holds
// exactly one <image-layer> whose `file` names the world image (any format
// osgDB reads, plate carrée, whole world). A relative path is looked up
// beside the earth file first, then in the data/ folder beside the running
// program, where the installation keeps its images.
//
// Anything else (not XML, another root, no image layer, an image that cannot
// be found or read) is a read error with a warning naming the reason; the
// read then gives no node.
class EarthFileReader : public osgDB::ReaderWriter
{
public:
    EarthFileReader();

    const char *className() const override { return "Globe earth file reader"; }

    ReadResult readNode(const std::string &fileName, const Options *options) const override;
};

} // namespace geo
