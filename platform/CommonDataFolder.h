#pragma once

#include <QString>

namespace platform {

// The folder that every user's programs share for application data, created
// when it does not exist yet. XDG_DATA_HOME moves it (tests use that).
QString commonDataFolder();

} // namespace platform
