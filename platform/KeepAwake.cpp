#include "platform/KeepAwake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariant>

namespace platform {

// Start-up waits at most this long for each bus; a desktop without the
// services must not delay the program noticeably.
static const int callTimeoutMs = 500;

static QDBusMessage callWithTimeout(QDBusConnection bus, const QDBusMessage &call)
{
    if (!bus.isConnected())
        return QDBusMessage();
    return bus.call(call, QDBus::Block, callTimeoutMs);
}

// Only idle sleep is held off: a suspend that the user asks for still
// happens. logind keeps the inhibitor for as long as the returned descriptor
// stays open, so it is kept open until the process ends.
static void holdIdleInhibitor(const QString &who, const QString &why)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << who << why << QStringLiteral("block");
    const QDBusMessage reply = callWithTimeout(QDBusConnection::systemBus(), call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    static QDBusUnixFileDescriptor held;
    held = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
}

// The screen saver drops an inhibitor when its owner's bus connection
// closes; the session bus connection lives as long as the process.
static void holdScreenSaverInhibitor(const QString &who, const QString &why)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    call << who << why;
    callWithTimeout(QDBusConnection::sessionBus(), call);
}

void keepSystemAndDisplayAwake(const QString &who, const QString &why)
{
    holdIdleInhibitor(who, why);
    holdScreenSaverInhibitor(who, why);
}

} // namespace platform
