#include "INQCore.h"
#include "NQNames.h"
#include "platform/Locate.h"
#include "platform/SingleInstanceSegment.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibrary>
#include <QSharedMemory>

// The relay that every node starts before joining: one per machine (per
// temporary folder), marked by a shared memory segment held for the life of
// the process. Later starts end at once.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QSharedMemory segment(nqnames::centerSegmentKey());
    if (!platform::createSingleInstanceSegment(segment, 8))
        return 0;

    QLibrary core(platform::libraryPath(QStringLiteral("NQCore")));
    auto launch = reinterpret_cast<LaunchCenterFunction>(core.resolve("launchCenter"));
    if (!launch) {
        qWarning() << "NQCenter: load NQCore.dll or resolve launchCenter failed:" << core.errorString();
        return -1;
    }
    launch();
    return app.exec();
}
