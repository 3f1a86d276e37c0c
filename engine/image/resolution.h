#pragma once

#include <cstdint>

namespace folioset::image {

// Dots per inch from a count per metre (PNG pHYs, BMP header). Writers store whole dots per
// metre, so 300 dpi arrives as 11811; a value that is the rounding of a whole dpi gives that dpi
// back, so a 300 dpi A4 scan makes an exact A4 page.
double dpiFromDotsPerMetre(std::uint32_t dotsPerMetre);

// `value` per `unit`, where unit 2 is the inch and 3 the centimetre (TIFF and EXIF).
double dpiFromTiffUnit(double value, int unit);

} // namespace folioset::image
