#include "INQCore.h"
#include "NQNames.h"
#include "platform/FileIdentity.h"
#include "platform/LocalServerName.h"
#include "platform/Locate.h"
#include "platform/SingleInstanceSegment.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibrary>
#include <QSharedMemory>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

// The segment's system key comes from the inode of a file of that name: in
// the user's own folder, another user's center holds another key. When the
// file goes (with the user's folder, at the end of the user's last session)
// or is replaced, later centers derive another key and no longer see this
// one; a new segment under a new file keeps them away again.
class CenterKey
{
public:
    explicit CenterKey(const QString &path) : path(path) {}

    // Whether this process now holds the key.
    bool take()
    {
        auto segment = std::make_unique<QSharedMemory>();
        segment->setNativeKey(path);
        if (!platform::createSingleInstanceSegment(*segment, 8))
            return false;
        identity = platform::fileIdentity(path);
        segments.push_back(std::move(segment));
        return true;
    }

    // The center's server makes the folder again when it listens again;
    // the key follows once the folder is there. A center that lost the
    // listen to this one may hold the new key for a moment: it is tried
    // again until that one has ended.
    void keep()
    {
        if (platform::fileIdentity(path) == identity || !QFileInfo::exists(QFileInfo(path).path()))
            return;
        if (take())
            qWarning().noquote() << "NQCenter: the single-instance key is held again under" << path;
    }

private:
    QString path;
    platform::FileIdentity identity;
    // A segment given up stays attached: releasing its last attachment would
    // remove the key file, which its successor uses by then.
    std::vector<std::unique_ptr<QSharedMemory>> segments;
};

constexpr int keyCheckIntervalMs = 1000;

} // namespace

// The relay that every node starts before joining: one per user of the
// machine, marked by a shared memory segment held for the life of the
// process. Later starts by the same user end at once.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = nqnames::meetingFolder();
    if (folder.isEmpty())
        return -1;
    CenterKey key(nqnames::meetingPath(folder, nqnames::centerSegmentKey()));
    // Another center runs when the segment exists and its name is served.
    // A segment without a served name belongs to an unrelated holder of the
    // same system key; should a center be starting just now after all, the
    // one that loses the listen ends itself.
    if (!key.take() && platform::localServerServed(nqnames::meetingPath(folder, nqnames::centerServerName())))
        return 0;

    QLibrary core(platform::libraryPath(QStringLiteral("NQCore")));
    auto launch = reinterpret_cast<LaunchCenterFunction>(core.resolve("launchCenter"));
    if (!launch) {
        qWarning() << "NQCenter: load NQCore.dll or resolve launchCenter failed:" << core.errorString();
        return -1;
    }
    launch();
    QTimer keyCheck;
    QObject::connect(&keyCheck, &QTimer::timeout, [&key] { key.keep(); });
    keyCheck.start(keyCheckIntervalMs);
    return app.exec();
}
