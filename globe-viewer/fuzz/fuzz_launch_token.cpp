// The launch token on the viewer's command line. Any text decodes to some
// object without harm; a token the host made decodes to exactly the process
// id and link names it was made from, whatever the link name holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <QJsonObject>

#include "FuzzSupport.h"
#include "Geoscope.h"
#include "LinkMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), int(size));
    const QJsonObject any = Geoscope::decodeLaunchToken(QString::fromUtf8(raw));
    // What the viewer reads from it must be readable whatever it holds.
    any.value(QStringLiteral("ServerProcessId")).toString().toULongLong(nullptr, 10);
    any.value(QStringLiteral("ClientLinkName")).toString();

    FuzzedDataProvider provider(data, size);
    const qint64 processId = provider.ConsumeIntegral<qint64>();
    const std::string nameBytes = provider.ConsumeRemainingBytesAsString();
    const QString linkName = QString::fromUtf8(nameBytes.data(), int(nameBytes.size()));

    const QByteArray token = LinkMessages::launchToken(processId, linkName);
    const QJsonObject decoded = Geoscope::decodeLaunchToken(QString::fromLatin1(token));
    FUZZ_CHECK(decoded.value(QStringLiteral("ServerProcessId")).toString()
               == QString::number(processId));
    FUZZ_CHECK(decoded.value(QStringLiteral("ServerLinkName")).toString() == linkName);
    FUZZ_CHECK(decoded.value(QStringLiteral("ClientLinkName")).toString()
               == LinkMessages::clientLinkNameOf(linkName));
    return 0;
}
