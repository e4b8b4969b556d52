#pragma once

#include <QString>

// Names that every node, the center and the center program must agree on.
namespace nqnames {

inline QString centerServerName() { return QStringLiteral("18FD5D41-F60B-404D-8AEB-1B8887B5E672"); }
inline QString centerSegmentKey() { return QStringLiteral("0C52AFBB-1EAC-42DD-9DBD-CF2AB0FB2611"); }
inline QString lockFileName() { return QStringLiteral("xxxx010033-ECE0-4B4B-87C6-FECE9584ED63"); }
inline QString centerProgram() { return QStringLiteral("NQCenter"); }

// The pause after starting the center lets a fresh center reach its listen;
// the wait covers a center that is slow to accept.
constexpr unsigned long centerStartPauseMs = 3000;
constexpr int centerConnectWaitMs = 30000;

} // namespace nqnames
