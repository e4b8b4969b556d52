#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

// Whether a process has ended: no such process any more, or only its zombie
// waiting to be reaped.
inline bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
}

// Ends, by id, the messaging centers that this test's nodes started: those
// whose TMPDIR is ours. A center outlives its nodes, so without this every
// run would leave one behind.
inline void endCentersOfThisTest()
{
    const QByteArray ownTmp = "TMPDIR=" + qgetenv("TMPDIR");
    const QStringList ids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &id : ids) {
        bool isPid = false;
        const qint64 pid = id.toLongLong(&isPid);
        if (!isPid || pid == QCoreApplication::applicationPid())
            continue;
        if (!QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).endsWith("/NQCenter"))
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(ownTmp))
            QProcess::execute(QStringLiteral("kill"), {QString::number(pid)});
    }
}
