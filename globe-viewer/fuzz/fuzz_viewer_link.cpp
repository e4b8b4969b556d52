// The viewer's link message handler on any JSON object from the host's link
// name or another one. Only the host is listened to, and each message gives
// at most the notices of its own type; a show message places the window only
// with four position values.
#include <QCoreApplication>
#include <QStringList>

#include "FuzzSupport.h"
#include "LinkMessageInput.h"
#include "NQXClient.h"

namespace {

const QString hostLinkName = QStringLiteral("GlobeHost");
const QString viewerLinkName = QStringLiteral("GlobeHost_Client");

struct Notices
{
    int show = 0;
    int location = 0;
    int position = 0;
    int stopPosition = 0;

    int total() const { return show + location + position + stopPosition; }
};

NQXClient *client = nullptr;
Notices notices;

} // namespace

void FuzzSupport::setUp(int &argc, char **argv)
{
    new QCoreApplication(argc, argv);
    // No messaging library beside the fuzzer: the node stays unstarted and
    // nothing leaves the process.
    client = new NQXClient(WId(0x2a00007), viewerLinkName, hostLinkName, nullptr);
    QObject::connect(client, &NQXClient::windowShow,
                     [](QString, int, int, int, int) { ++notices.show; });
    QObject::connect(client, &NQXClient::loactionChanged, [](QString, bool, double, double) {
        ++notices.location;
        return true;
    });
    QObject::connect(client, &NQXClient::positionChanged,
                     [](double, double, double, double, double, double, double, double, double,
                        double, double, double, double, double, double) {
                         ++notices.position;
                         return true;
                     });
    QObject::connect(client, &NQXClient::stopPositionChanged,
                     [](double, double, double, double, double, double, double, double, double,
                        double, double, double, double, double, double) {
                         ++notices.stopPosition;
                         return true;
                     });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const LinkMessageInput input(data, size,
                                 {QStringLiteral("show"), QStringLiteral("location"),
                                  QStringLiteral("position")});
    notices = Notices();
    client->onServerMessage(input.fromPeer ? hostLinkName : viewerLinkName, input.message);

    if (!input.fromPeer) {
        FUZZ_CHECK(notices.total() == 0);
        return 0;
    }
    const QString type = input.message.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("show")) {
        const int parts = input.message.value(QStringLiteral("position")).toString().split(QLatin1Char('|')).size();
        FUZZ_CHECK(notices.total() == notices.show);
        FUZZ_CHECK(notices.show == (parts >= 4 ? 1 : 0));
    } else if (type == QLatin1String("position")) {
        FUZZ_CHECK(notices.position == 1 && notices.stopPosition == 1);
        FUZZ_CHECK(notices.total() == 2);
    } else {
        FUZZ_CHECK(notices.total() == 0);
    }
    return 0;
}
