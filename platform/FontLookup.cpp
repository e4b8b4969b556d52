#include "platform/FontLookup.h"

#include <QFileInfo>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace platform {

namespace {

// The labels write "Length：" with U+FF1A; a font without it shows a box.
constexpr FcChar32 fullWidthColon = 0xFF1A;

struct PatternDeleter {
    void operator()(FcPattern *pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

struct CharSetDeleter {
    void operator()(FcCharSet *set) const { FcCharSetDestroy(set); }
};
using CharSet = std::unique_ptr<FcCharSet, CharSetDeleter>;

Pattern requestFor(const QString &family)
{
    Pattern pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8 *>("zh-cn"));
    CharSet chars(FcCharSetCreate());
    FcCharSetAddChar(chars.get(), fullWidthColon);
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

bool coversColon(FcPattern *font)
{
    FcCharSet *chars = nullptr;
    return FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch
        && FcCharSetHasChar(chars, fullWidthColon);
}

} // namespace

QString fontFileFor(const QString &fontFileName)
{
    if (!FcInit())
        return {};
    const Pattern request = requestFor(QFileInfo(fontFileName).completeBaseName());
    FcResult result = FcResultNoMatch;
    // A match is only the closest font fontconfig knows, not one that has
    // the glyphs; the charset check turns "closest" into "usable".
    const Pattern match(FcFontMatch(nullptr, request.get(), &result));
    if (!match || result != FcResultMatch || !coversColon(match.get()))
        return {};
    FcChar8 *file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(file));
}

} // namespace platform
