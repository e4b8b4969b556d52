#include "INQCore.h"
#include "NQNames.h"
#include "platform/LocalServerName.h"
#include "platform/Locate.h"
#include "platform/SingleInstanceSegment.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibrary>
#include <QSharedMemory>

// The relay that every node starts before joining: one per user of the
// machine, marked by a shared memory segment held for the life of the
// process. Later starts by the same user end at once.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = nqnames::meetingFolder();
    if (folder.isEmpty())
        return -1;
    // The segment's system key comes from a file of that name: in the user's
    // own folder, another user's center holds another key.
    QSharedMemory segment;
    segment.setNativeKey(nqnames::meetingPath(folder, nqnames::centerSegmentKey()));
    // Another center runs when the segment exists and its name is served.
    // A segment without a served name belongs to an unrelated holder of the
    // same system key; should a center be starting just now after all, the
    // one that loses the listen ends itself.
    if (!platform::createSingleInstanceSegment(segment, 8)
        && platform::localServerServed(nqnames::meetingPath(folder, nqnames::centerServerName())))
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
