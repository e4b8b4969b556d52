#include "geo/Color.h"

#include <cstdlib>

namespace geo {

const Color Color::White(1, 1, 1);
const Color Color::Black(0, 0, 0);
const Color Color::Red(1, 0, 0);
const Color Color::Yellow(1, 1, 0);
const Color Color::Cyan(0, 1, 1);

Color::Color(const std::string &html)
    : osg::Vec4f(0, 0, 0, 1)
{
    const bool shaped = (html.size() == 7 || html.size() == 9) && html[0] == '#'
        && html.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    if (!shaped)
        return;
    for (size_t channel = 0; 1 + 2 * channel < html.size(); ++channel)
        (*this)[int(channel)] = float(std::strtoul(html.substr(1 + 2 * channel, 2).c_str(), nullptr, 16)) / 255.0f;
}

} // namespace geo
