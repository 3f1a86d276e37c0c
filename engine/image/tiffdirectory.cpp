#include "tiffdirectory.h"

#include "resolution.h"

#include <algorithm>

namespace folioset::image {

namespace {

// Some writers store 8-bit values in the 16-bit colour map; libtiff's own reader tells them
// apart the same way.
QByteArray paletteOf(TIFF *tiff, int bits)
{
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (bits > 8 || !TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
        return {};
    const int entries = 1 << bits;
    bool wide = false;
    for (int i = 0; i < entries && !wide; ++i)
        wide = red[i] > 255 || green[i] > 255 || blue[i] > 255;
    QByteArray palette;
    for (int i = 0; i < entries; ++i) {
        for (const std::uint16_t *channel : {red, green, blue}) {
            const unsigned v = channel[i];
            palette.append(char(wide ? (v * 255u + 32767u) / 65535u : v));
        }
    }
    return palette;
}

} // namespace

std::uint64_t TiffDirectory::largestChunk(TIFF *tiff) const
{
    std::uint64_t largest = 0;
    const std::uint32_t chunks = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (std::uint32_t i = 0; i < chunks; ++i)
        largest = std::max(largest, TIFFGetStrileByteCount(tiff, i));
    return largest;
}

TiffDirectory readTiffDirectory(TIFF *tiff)
{
    TiffDirectory d;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &d.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &d.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &d.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &d.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &d.sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &d.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &d.compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &d.fillOrder);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &d.inkSet);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &d.photometric))
        d.photometric = d.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (d.compression == COMPRESSION_CCITTFAX4)
        TIFFGetField(tiff, TIFFTAG_GROUP4OPTIONS, &d.group4Options);

    std::uint16_t *kinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &d.extraSamples, &kinds) && d.extraSamples > 0 &&
        d.extraSamples < d.samplesPerPixel) {
        // An extra sample of unstated meaning is taken as alpha, as libtiff does, but with the
        // colour samples kept as stored.
        d.alpha = kinds[0] == EXTRASAMPLE_ASSOCALPHA ? TiffDirectory::Alpha::Associated
                                                     : TiffDirectory::Alpha::Plain;
    } else {
        d.extraSamples = 0;
    }

    d.tiled = TIFFIsTiled(tiff);
    if (d.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &d.tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &d.tileHeight);
        d.strips = TIFFNumberOfTiles(tiff);
    } else {
        d.strips = TIFFNumberOfStrips(tiff);
    }

    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    d.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;

    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) &&
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y)) {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        const Resolution r{dpiFromTiffUnit(x, unit), dpiFromTiffUnit(y, unit)};
        if (r.isKnown())
            d.resolution = r;
    }

    std::uint32_t iccLength = 0;
    void *icc = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc && iccLength > 0)
        d.iccProfile = QByteArray(static_cast<const char *>(icc), qsizetype(iccLength));
    if (d.photometric == PHOTOMETRIC_PALETTE)
        d.palette = paletteOf(tiff, d.bitsPerSample);
    return d;
}

} // namespace folioset::image
