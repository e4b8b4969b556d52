// The host's link message handler on any JSON object from the viewer's link
// name or another one. Only the viewer is listened to; each message gives at
// most the notices of its own type; a window handle is passed on only when
// it names a window.
#include <QCoreApplication>
#include <QStringList>

#include "FuzzSupport.h"
#include "LinkMessageInput.h"
#include "NQXServer.h"

namespace {

const QString hostLinkName = QStringLiteral("GlobeHost");
const QString viewerLinkName = QStringLiteral("GlobeHost_Client");

struct Notices
{
    int window = 0;
    int position = 0;
    int stopPosition = 0;
    int forceLocation = 0;
    int hidden = 0;
    WId handle = 0;

    int total() const { return window + position + stopPosition + forceLocation + hidden; }
};

NQXServer *server = nullptr;
Notices notices;

} // namespace

void FuzzSupport::setUp(int &argc, char **argv)
{
    new QCoreApplication(argc, argv);
    // Beside the fuzzer there is no messaging library, so the node stays
    // unstarted and nothing leaves the process; the handler still runs.
    server = new NQXServer(hostLinkName);
    QObject::connect(server, &NQXServer::winHandleReceived, [](WId handle) {
        ++notices.window;
        notices.handle = handle;
    });
    QObject::connect(server, &NQXServer::positionReceived, [](bool, double, double, double) {
        ++notices.position;
    });
    QObject::connect(server, &NQXServer::stopPositionReceived, [] { ++notices.stopPosition; });
    QObject::connect(server, &NQXServer::forceLocationChanged, [] { ++notices.forceLocation; });
    QObject::connect(server, &NQXServer::clientHided, [] { ++notices.hidden; });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const LinkMessageInput input(data, size,
                                 {QStringLiteral("windowHandle"), QStringLiteral("position"),
                                  QStringLiteral("forceLocationChanged")});
    notices = Notices();
    server->onClientData(input.fromPeer ? viewerLinkName : hostLinkName, input.message);

    if (!input.fromPeer) {
        FUZZ_CHECK(notices.total() == 0);
        return 0;
    }
    const QString type = input.message.value(QStringLiteral("type")).toString();
    FUZZ_CHECK(notices.hidden == 0);
    if (type == QLatin1String("windowHandle")) {
        FUZZ_CHECK(notices.total() == notices.window && notices.window <= 1);
        bool ok = false;
        const qlonglong handle =
            input.message.value(QStringLiteral("windowHandle")).toString().toLongLong(&ok, 10);
        FUZZ_CHECK(notices.window == (ok && handle != 0 ? 1 : 0));
        if (notices.window == 1)
            FUZZ_CHECK(notices.handle == WId(handle));
    } else if (type == QLatin1String("position")) {
        FUZZ_CHECK(notices.position == 1 && notices.stopPosition == 1);
        FUZZ_CHECK(notices.total() == 2);
    } else if (type == QLatin1String("forceLocationChanged")) {
        FUZZ_CHECK(notices.total() == 1 && notices.forceLocation == 1);
    } else {
        FUZZ_CHECK(notices.total() == 0);
    }
    return 0;
}
