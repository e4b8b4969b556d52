#pragma once

#include <QString>

namespace platform {

// The font file that stands for a font asked for by file name alone
// ("simhei.ttf"): fontconfig's best match for the name's family among the
// fonts that cover Chinese text and the full-width colon, which the viewer's
// labels print. Empty when no installed font qualifies.
QString fontFileFor(const QString &fontFileName);

} // namespace platform
