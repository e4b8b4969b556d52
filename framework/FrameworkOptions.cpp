#include "FrameworkOptions.h"

#include <QString>

#include "IOVNDataObject.h"
#include "cmdline/parser.h"

namespace FrameworkOptions {

void Add(cmdline::parser &parser)
{
    parser.add_option<std::string>("log", 'l', "log level", false, "error",
                                   cmdline::make_oneof_reader("information", "debug", "warning",
                                                              "error", "fatal"));
    parser.add_option<std::string>("ui", 'u', "which ui you want to show?", false, "startup",
                                   cmdline::make_oneof_reader("startup", "login", "authority",
                                                              "originalphoto", "photodata",
                                                              "template", "discharge"));
    parser.add_option<int>("subphoto-row", 'r', "stitch sub photo row number", false, 0);
    parser.add_option<int>("subphoto-column", 'c', "stitch sub photo column number", false, 0);
    parser.add_option<int>("subphoto-scan-type", 's', "stitch sub photo scan type", false, 0);
    parser.add_option<double>("subphoto-cutter-diameter", 'C', "stitch sub photo cutter diameter",
                              false, 1.2);
    parser.add_option<double>("subphoto-mm-pixel-scale-x", 'x',
                              "stitch sub photo mm pixel scale x", false, 20.0);
    parser.add_option<double>("subphoto-mm-pixel-scale-y", 'y',
                              "stitch sub photo mm pixel scale y", false, 20.0);
    parser.add_option<std::string>("subphoto-path", 'p', "stitch sub photo path", false, "");
}

void Store(const cmdline::parser &parser, IOVNDataObject *values)
{
    auto text = [&parser](const char *name) {
        return QString::fromStdString(parser.value_of<std::string>(name));
    };
    values->SetString("CmdLineUI", text("ui"));
    values->SetInt("CmdLineStitchSubPhotoRow", parser.value_of<int>("subphoto-row"));
    values->SetInt("CmdLineStitchSubPhotoCol", parser.value_of<int>("subphoto-column"));
    values->SetInt("CmdLineStitchSubPhotoScanType", parser.value_of<int>("subphoto-scan-type"));
    values->SetDouble("CmdLineStitchSubPhotoCurtterDiameter",
                      parser.value_of<double>("subphoto-cutter-diameter"));
    values->SetDouble("CmdLineStitchSubPhotoMM2PixelScaleX",
                      parser.value_of<double>("subphoto-mm-pixel-scale-x"));
    values->SetDouble("CmdLineStitchSubPhotoMM2PixelScaleY",
                      parser.value_of<double>("subphoto-mm-pixel-scale-y"));
    values->SetString("CmdLineStitchSubPhotoPath", text("subphoto-path"));
}

} // namespace FrameworkOptions
