#include "resolution.h"

#include <QFile>

#include <tiffio.h>

#include <cmath>

namespace folioset::pdf {

namespace {

constexpr double kMetresPerInch = 0.0254;

std::uint32_t littleEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}

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

Resolution bmpResolution(const QString &path)
{
    // BITMAPFILEHEADER (14 bytes), then an info header whose size comes first; the
    // pixels-per-metre fields sit at offsets 24 and 28 of every header from BITMAPINFOHEADER on.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(14 + 32);
    if (head.size() < 14 + 32 || !head.startsWith("BM") ||
        littleEndian32(head.constData() + 14) < 40)
        return {};
    const auto signedValue = [](std::uint32_t v) { return std::int32_t(v); };
    const std::int32_t x = signedValue(littleEndian32(head.constData() + 14 + 24));
    const std::int32_t y = signedValue(littleEndian32(head.constData() + 14 + 28));
    if (x <= 0 || y <= 0)
        return {};
    return {dpiFromDotsPerMetre(std::uint32_t(x)), dpiFromDotsPerMetre(std::uint32_t(y))};
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
