#pragma once

#include <QString>

namespace platform {

// Asks the system not to fall asleep for being idle and the display not to
// blank while this process runs: an inhibitor from logind on the system bus
// and one from the screen saver on the session bus, each held until the
// process ends. A bus or service that is missing or does not answer within a
// short time is quietly skipped; the program runs the same without them.
void keepSystemAndDisplayAwake(const QString &who, const QString &why);

} // namespace platform
