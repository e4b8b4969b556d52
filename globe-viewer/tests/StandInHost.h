#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// The stand-in host program, driven over its stdin and stdout.
class StandInHost
{
public:
    explicit StandInHost(const QStringList &arguments = {});
    ~StandInHost();

    bool started();
    // The launch token it printed, decoded; empty until started() is true.
    QJsonObject token() const { return m_token; }
    // Waits for a line of its output that starts with `prefix` and returns
    // the rest of it; a null string when none came before the deadline.
    QString waitForLine(const QString &prefix, int timeoutMs = 30000);
    // The next message it received from the viewer's link.
    QJsonObject waitForMessage(int timeoutMs = 30000);
    void send(const QJsonObject &message);
    // Closes its stdin, which ends it, and waits for that.
    void stop();

private:
    QProcess m_process;
    QStringList m_pending;
    QByteArray m_partial;
    QJsonObject m_token;
};
