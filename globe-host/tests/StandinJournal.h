#pragma once

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTest>

// The stand-in viewer's journal: one JSON object a line, {"pid", "event",
// "message"}, appended by every stand-in that runs with the same TMPDIR.
namespace StandinJournal {

inline QString path()
{
    return QDir::temp().filePath(QStringLiteral("standin-viewer.jsonl"));
}

inline QColor windowColour()
{
    return QColor(255, 0, 255);
}

inline QStringList positionKeys()
{
    return {"dVerticalAngle", "dEOOpticalZoom", "dTargetLongitude", "dTargetLatitude",
            "dLongitude", "dLatitude", "dAltitude", "dYaw", "dYawAbs", "dPitch", "dFov",
            "dUAVGPSDirection", "dUAVYaw", "dUAVPitch", "dUAVRoll"};
}

inline QList<QJsonObject> entries()
{
    QList<QJsonObject> all;
    QFile journal(path());
    if (!journal.open(QIODevice::ReadOnly))
        return all;
    while (!journal.atEnd()) {
        const QByteArray line = journal.readLine();
        if (line.endsWith('\n'))
            all.append(QJsonDocument::fromJson(line).object());
    }
    return all;
}

// The entries of one event, optionally only of one stand-in process and one
// message type.
inline QList<QJsonObject> find(const QString &event, qint64 pid = 0, const QString &type = {})
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : entries()) {
        const QJsonObject message = entry.value("message").toObject();
        if (entry.value("event").toString() == event
            && (pid == 0 || qint64(entry.value("pid").toDouble()) == pid)
            && (type.isEmpty() || message.value("type").toString() == type))
            found.append(entry);
    }
    return found;
}

// Waits until the journal holds at least `count` such entries; the last one.
inline QJsonObject waitFor(const QString &event, int count = 1, qint64 pid = 0,
                           const QString &type = {}, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QList<QJsonObject> found = find(event, pid, type);
        if (found.size() >= count)
            return found.last();
        QTest::qWait(50);
    }
    return {};
}

} // namespace StandinJournal
