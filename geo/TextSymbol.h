#pragma once

#include <osgText/String>
#include <osgText/Text>

#include <optional>
#include <string>

#include "geo/Color.h"
#include "geo/Symbol.h"

namespace geo {

// How the text of a place mark is written.
class TextSymbol : public SymbolOf<TextSymbol>
{
public:
    struct Halo {
        Color color = Color::Black;
        float offset = 0.07f; // outline thickness, a share of the font size
    };

    // Which point of the text sits at the mark (osgText's alignment:
    // LEFT_TOP is 0); unset puts the text to the right of the icon.
    std::optional<osgText::Text::AlignmentType> alignment;
    osgText::String::Encoding encoding = osgText::String::ENCODING_UTF8;
    bool declutter = false;
    std::optional<Halo> halo;
    Color fill = Color::White;
    std::string font;  // file name, found like any font file
    float size = 16.0f; // pixels
};

} // namespace geo
