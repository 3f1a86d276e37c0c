#pragma once

#include "embeddedimage.h"

#include <QByteArray>

#include <cstdint>

#include <tiffio.h>

namespace folioset::image {

// The facts of one TIFF directory (page) that decide how it goes into a PDF.
struct TiffDirectory
{
    enum class Alpha {
        None,
        Plain,     // unassociated: colour samples as they are
        Associated // premultiplied by the file
    };

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t fillOrder = FILLORDER_MSB2LSB;
    std::uint16_t inkSet = INKSET_CMYK;
    std::uint16_t extraSamples = 0;
    Alpha alpha = Alpha::None;
    std::uint32_t group4Options = 0;
    bool tiled = false;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    std::uint32_t strips = 0; // or tiles
    int orientation = 1;      // 1..8, as EXIF counts
    Resolution resolution;
    QByteArray iccProfile; // as stored; checked where it is used
    QByteArray palette;    // PALETTE: the colour map as 8-bit RGB triples

    // Colour samples per pixel, extra samples left out.
    int colours() const { return samplesPerPixel - extraSamples; }
    // Largest compressed strip or tile: what libtiff holds while decoding one.
    std::uint64_t largestChunk(TIFF *tiff) const;
};

// Reads the current directory of `tiff`. A tag that is absent takes TIFF's default.
TiffDirectory readTiffDirectory(TIFF *tiff);

} // namespace folioset::image
