#include "resolution.h"

#include <cmath>

namespace folioset::image {

namespace {

constexpr double kMetresPerInch = 0.0254;

} // namespace

double dpiFromDotsPerMetre(std::uint32_t dotsPerMetre)
{
    if (dotsPerMetre == 0)
        return 0;
    const double dpi = dotsPerMetre * kMetresPerInch;
    const double whole = std::round(dpi);
    if (whole > 0 && std::lround(whole / kMetresPerInch) == long(dotsPerMetre))
        return whole;
    return dpi;
}

double dpiFromTiffUnit(double value, int unit)
{
    if (!(value > 0) || !std::isfinite(value))
        return 0;
    switch (unit) {
    case 2:
        return value;
    case 3:
        return value * 2.54;
    default:
        return 0;
    }
}

} // namespace folioset::image
