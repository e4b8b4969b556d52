// The earth file reader on any bytes, through osgDB as the viewer reads it.
// A file gives a scene holding the map node, or a read error; never a
// "not handled" for its own extension, and the same answer on a second read.
#include <QImage>

#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include "FuzzSupport.h"
#include "geo/MapNode.h"

void FuzzSupport::setUp(int &, char **)
{
    // A small world image beside the earth file, so that files naming
    // "world.png" go all the way to a map node.
    QImage world(8, 4, QImage::Format_RGB888);
    world.fill(Qt::blue);
    if (!world.save(FuzzSupport::scratchPath("world.png")))
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzSupport::writeInput(data, size, ".earth");
    osgDB::ReaderWriter::ReadResult first =
        osgDB::Registry::instance()->readNode(path.toStdString(), nullptr);
    FUZZ_CHECK(first.status() != osgDB::ReaderWriter::ReadResult::FILE_NOT_HANDLED);
    FUZZ_CHECK(first.validNode() == first.success());
    if (first.validNode())
        FUZZ_CHECK(geo::MapNode::findMapNode(first.getNode()) != nullptr);

    osgDB::ReaderWriter::ReadResult second =
        osgDB::Registry::instance()->readNode(path.toStdString(), nullptr);
    FUZZ_CHECK(second.status() == first.status());
    return 0;
}
