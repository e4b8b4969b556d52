#pragma once

#include "platform/RuntimeFolder.h"

#include <QString>

#include <limits>

// Names that every node, the center and the center program must agree on.
namespace nqnames {

inline QString centerServerName() { return QStringLiteral("18FD5D41-F60B-404D-8AEB-1B8887B5E672"); }
inline QString centerSegmentKey() { return QStringLiteral("0C52AFBB-1EAC-42DD-9DBD-CF2AB0FB2611"); }
inline QString lockFileName() { return QStringLiteral("xxxx010033-ECE0-4B4B-87C6-FECE9584ED63"); }
inline QString centerProgram() { return QStringLiteral("NQCenter"); }

// The names above, and the nodes' own, are the same for every user of the
// machine: each user's nodes and center meet in a folder of the user's own,
// so that one user's center neither serves nor blocks another's nodes.
// Empty, after a log line, when that folder cannot be had safely.
// The center's name is the longest of a socket in it; a node's has ten digits
// at most.
inline QString meetingFolder()
{
    return platform::userRuntimeFolder(QStringLiteral("NQCore"), centerServerName().size());
}
// Where a name lies in that folder; empty without a folder.
inline QString meetingPath(const QString &folder, const QString &name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

// The pause after starting the center lets a fresh center reach its listen,
// and ends as soon as a center accepts; the wait covers a center that is slow
// to come up or to accept.
constexpr int centerStartPauseMs = 3000;
constexpr int centerConnectWaitMs = 30000;
// How often a node asks again for a center that is not listening yet.
constexpr int centerRetryPauseMs = 50;

// A node names itself by its process id in decimal: a positive int, no sign,
// no leading zero, nothing else.
inline bool isNodeName(const QString &name)
{
    bool ok = false;
    const uint id = name.toUInt(&ok);
    return ok && id > 0 && id <= uint(std::numeric_limits<int>::max()) && QString::number(id) == name;
}

} // namespace nqnames
