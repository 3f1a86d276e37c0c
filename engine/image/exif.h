#pragma once

#include "embeddedimage.h"

#include <cstddef>

namespace folioset::image {

struct ExifFacts
{
    int orientation = 1; // 1..8; anything else in the file reads as 1
    Resolution resolution;
};

// Reads IFD0 of an EXIF block (the APP1 payload after "Exif\0\0"). Damaged or absent fields
// leave their defaults: EXIF is advisory and never a reason to refuse an image.
ExifFacts parseExif(const unsigned char *tiff, std::size_t size);

} // namespace folioset::image
