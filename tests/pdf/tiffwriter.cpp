#include "tiffwriter.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstring>

namespace fixtures {

namespace {

void setFields(TIFF *tiff, const TiffPage &p)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(p.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(p.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, std::uint16_t(p.bitsPerSample));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(p.samplesPerPixel));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, std::uint16_t(p.photometric));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, std::uint16_t(p.compression));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, std::uint16_t(p.planar));
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    if (!p.extraSamples.empty())
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, std::uint16_t(p.extraSamples.size()),
                     p.extraSamples.data());
    if (p.tileSize > 0) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, std::uint32_t(p.tileSize));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, std::uint32_t(p.tileSize));
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                     std::uint32_t(p.rowsPerStrip > 0 ? p.rowsPerStrip : p.height));
    }
    if (p.dpi > 0) {
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(p.dpi));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(p.dpi));
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (p.orientation > 0)
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, std::uint16_t(p.orientation));
    if (!p.iccProfile.isEmpty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, std::uint32_t(p.iccProfile.size()),
                     p.iccProfile.constData());
    if (!p.colormap.empty()) {
        const std::size_t n = p.colormap.size() / 3;
        TIFFSetField(tiff, TIFFTAG_COLORMAP, p.colormap.data(), p.colormap.data() + n,
                     p.colormap.data() + 2 * n);
    }
    if (p.compression == COMPRESSION_JPEG) {
        TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, p.jpegQuality);
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
}

// The samples of one plane, or all of them, of rows [first, first + rows), columns
// [x0, x0 + columns), packed as libtiff wants them.
QByteArray region(const TiffPage &p, int first, int rows, int x0, int columns, int plane)
{
    const int bytes = p.bitsPerSample / 8;
    const bool one = plane >= 0;
    QByteArray out;
    for (int y = first; y < first + rows; ++y) {
        const char *row =
            p.samples.constData() + std::size_t(std::min(y, p.height - 1)) * p.rowBytes();
        if (p.bitsPerSample < 8) {
            out.append(row, qsizetype(p.rowBytes()));
            continue;
        }
        for (int x = x0; x < x0 + columns; ++x) {
            for (int s = 0; s < p.samplesPerPixel; ++s) {
                if (one && s != plane)
                    continue;
                if (x >= p.width)
                    out.append(QByteArray(bytes, '\0'));
                else
                    out.append(row + (std::size_t(x) * p.samplesPerPixel + s) * bytes, bytes);
            }
        }
    }
    return out;
}

bool writePage(TIFF *tiff, const TiffPage &p)
{
    setFields(tiff, p);
    const int planes = p.planar == PLANARCONFIG_SEPARATE ? p.samplesPerPixel : 1;
    bool ok = true;
    for (int plane = 0; plane < planes && ok; ++plane) {
        const int which = planes > 1 ? plane : -1;
        if (p.tileSize > 0) {
            for (int y = 0; y < p.height && ok; y += p.tileSize) {
                for (int x = 0; x < p.width && ok; x += p.tileSize) {
                    QByteArray tile = region(p, y, p.tileSize, x, p.tileSize, which);
                    ok = TIFFWriteTile(tiff, tile.data(), std::uint32_t(x), std::uint32_t(y), 0,
                                       std::uint16_t(plane)) >= 0;
                }
            }
            continue;
        }
        for (int y = 0; y < p.height && ok; ++y) {
            QByteArray row = region(p, y, 1, 0, p.width, which);
            ok = TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), std::uint16_t(plane)) >= 0;
        }
    }
    return ok && TIFFWriteDirectory(tiff);
}

} // namespace

std::size_t TiffPage::rowBytes() const
{
    return (std::size_t(width) * std::size_t(samplesPerPixel) * std::size_t(bitsPerSample) + 7) / 8;
}

bool writeTiffPages(const QString &path, const QList<TiffPage> &pages)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    bool ok = true;
    for (const TiffPage &page : pages)
        ok = ok && writePage(tiff, page);
    TIFFClose(tiff);
    return ok;
}

QByteArray rawStrip(const QString &path)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return {};
    QByteArray strip(qsizetype(TIFFGetStrileByteCount(tiff, 0)), '\0');
    TIFFReadRawStrip(tiff, 0, strip.data(), strip.size());
    TIFFClose(tiff);
    return strip;
}

QByteArray readTiffSamples(const QString &path, int page)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return {};
    QByteArray out;
    std::uint32_t height = 0;
    std::uint16_t compression = 0, photometric = 0;
    if (TIFFSetDirectory(tiff, tdir_t(page)) && TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        QByteArray row(qsizetype(TIFFScanlineSize64(tiff)), '\0');
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(tiff, row.data(), y, 0) < 0)
                return {};
            out += row;
        }
    }
    TIFFClose(tiff);
    return out;
}

TiffPage bilevelPage(int width, int height, int photometric, int compression, int rowsPerStrip,
                     bool noise)
{
    TiffPage p;
    p.width = width;
    p.height = height;
    p.bitsPerSample = 1;
    p.photometric = photometric;
    p.compression = compression;
    p.rowsPerStrip = rowsPerStrip;
    p.samples = QByteArray(qsizetype(p.rowBytes()) * height, '\0');
    QRandomGenerator random(quint32(width + height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool ink = noise ? random.bounded(2) == 1
                                   : (y % 30 < 9) && (x % 13 < 2 || (x * 3 + y) % 29 == 0);
            if (ink)
                p.samples[qsizetype(std::size_t(y) * p.rowBytes() + std::size_t(x / 8))] |=
                    char(0x80 >> (x % 8));
        }
    }
    return p;
}

} // namespace fixtures
