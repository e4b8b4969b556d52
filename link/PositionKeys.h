#pragma once

#include <array>

// The keys under which a link message carries the fifteen values of a
// position record, in the order the values travel in signals and slots.
inline constexpr std::array<const char *, 15> positionKeys = {
    "dVerticalAngle", "dEOOpticalZoom", "dTargetLongitude", "dTargetLatitude",
    "dLongitude",     "dLatitude",      "dAltitude",        "dYaw",
    "dYawAbs",        "dPitch",         "dFov",             "dUAVGPSDirection",
    "dUAVYaw",        "dUAVPitch",      "dUAVRoll"};
