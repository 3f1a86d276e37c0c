#pragma once

#include <QByteArray>

namespace folioset::image {

// Colour profiles as image files embed them, checked before they become a PDF's /ICCBased
// colour space. A profile that fails a check is dropped and the page keeps its device colour
// space: a damaged profile is never a reason to refuse an image.

// The profile, cut to the size its header declares, when it is a well-formed input, display,
// output or colour-space profile (ICC version 2 to 4) for `components` colours (1 gray, 3 RGB,
// 4 CMYK) whose tags lie inside it; empty otherwise.
QByteArray checkedIccProfile(const QByteArray &profile, int components);

// The profile's major version (header byte 8); 0 for an empty profile.
int iccMajorVersion(const QByteArray &profile);

// The data of a PNG iCCP chunk (name, 0, method 0, zlib data) inflated; empty when damaged or
// implausibly large.
QByteArray pngIccProfile(const QByteArray &chunk);

} // namespace folioset::image
