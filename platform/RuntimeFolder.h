#pragma once

#include <QString>

namespace platform {

// A folder for the running user alone, for the sockets, locks and keys that
// must be the user's own on a machine that several people use: `name` inside
// $XDG_RUNTIME_DIR when that is set, else `name`-<user id> in the temporary
// folder. Made with mode 0700 when missing. Empty, after a log line that
// says why, when the folder (or $XDG_RUNTIME_DIR) belongs to another user,
// when others can write to it, or when it is no plain folder: whoever could
// change it could take the user's names or lead them elsewhere.
//
// Local sockets named by up to `longestSocketName` bytes are made inside it.
// A runtime folder too deep for their paths is logged with the limit and the
// one in the temporary folder is used instead; empty when neither fits.
QString userRuntimeFolder(const QString &name, int longestSocketName);

} // namespace platform
