#include "platform/SingleInstanceSegment.h"

#include <QSharedMemory>

namespace platform {

bool createSingleInstanceSegment(QSharedMemory &segment, int size)
{
    if (segment.attach())
        segment.detach();
    return segment.create(size, QSharedMemory::ReadWrite);
}

} // namespace platform
