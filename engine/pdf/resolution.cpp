#include "resolution.h"

#include <QFile>

#include <tiffio.h>

#include <cmath>

namespace folioset::pdf {

namespace {

constexpr double kMetresPerInch = 0.0254;

// libtiff reports problems on stderr by default; here a damaged directory is simply "unknown".
// Handlers given per file leave the process-wide ones (which Qt's TIFF plugin uses) alone.
int silentTiffHandler(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

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

Resolution tiffResolution(const QString &path, int page)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, silentTiffHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silentTiffHandler, nullptr);
    Resolution result;
    if (TIFF *tiff = TIFFOpenExt(QFile::encodeName(path).constData(), "rh", options)) {
        if (TIFFSetDirectory(tiff, tdir_t(page))) {
            float x = 0;
            float y = 0;
            std::uint16_t unit = RESUNIT_INCH;
            if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) &&
                TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y)) {
                TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
                result = {dpiFromTiffUnit(x, unit), dpiFromTiffUnit(y, unit)};
                if (!result.isKnown())
                    result = {};
            }
        }
        TIFFClose(tiff);
    }
    TIFFOpenOptionsFree(options);
    return result;
}

} // namespace folioset::pdf
