#pragma once

// TIFF pages in the layouts the engine treats differently, written with libtiff at run time.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <vector>

#include <tiffio.h>

namespace fixtures {

struct TiffPage
{
    int width = 0;
    int height = 0;
    int bitsPerSample = 8;
    int samplesPerPixel = 1;
    int photometric = PHOTOMETRIC_MINISBLACK;
    int compression = COMPRESSION_ADOBE_DEFLATE;
    std::vector<std::uint16_t> extraSamples; // EXTRASAMPLE_* of the last samples
    int planar = PLANARCONFIG_CONTIG;
    int rowsPerStrip = 0; // 0: the whole page in one strip
    int tileSize = 0;     // > 0: square tiles of this size instead of strips
    double dpi = 0;
    int orientation = 0; // 0: no tag
    QByteArray iccProfile;
    std::vector<std::uint16_t> colormap; // red, then green, then blue entries
    int jpegQuality = 0;                 // JPEG pages are given RGB and stored as YCbCr
    // Rows of interleaved samples, each padded to a whole byte; 16-bit samples in host order.
    QByteArray samples;

    std::size_t rowBytes() const;
};

bool writeTiffPages(const QString &path, const QList<TiffPage> &pages);

// The compressed bytes of the first strip of a TIFF's first page, as stored.
QByteArray rawStrip(const QString &path);

// The samples of page `page` of a TIFF as libtiff decodes them (JPEG as RGB), rows packed.
QByteArray readTiffSamples(const QString &path, int page);

// A 1-bit page from a pattern: text-like strokes, or noise when `noise`. A set bit is black
// when `photometric` is MINISWHITE, white when it is MINISBLACK.
TiffPage bilevelPage(int width, int height, int photometric, int compression, int rowsPerStrip,
                     bool noise = false);

} // namespace fixtures

Q_DECLARE_METATYPE(fixtures::TiffPage)
