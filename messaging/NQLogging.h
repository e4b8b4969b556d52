#pragma once

#include <QLoggingCategory>

// The lines logged for every read of a socket. On by default, as every
// socket slot logs its name; a busy node switches them off with
// QT_LOGGING_RULES="nq.socket.debug=false", and then they cost one check.
// They are written in qCDebug's printf form, which builds no text stream:
// a stream on every read costs a node's round trip several per cent.
Q_DECLARE_LOGGING_CATEGORY(nqSocketLog)
