#pragma once

// Image files in the variants the PDF engine treats differently, written at run time with
// libjpeg, libpng and a small GIF encoder of our own (Qt writes no GIF).

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace fixtures {

enum class JpegColor { Gray, YCbCr, Rgb, AdobeCmyk };

struct JpegOptions
{
    JpegColor color = JpegColor::YCbCr;
    bool progressive = false;
    int quality = 90;
    int jfifDpi = 0;                    // 0: the JFIF header states no density unit
    int exifOrientation = 0;            // 0: no EXIF block
    int exifDpi = 0;                    // written into the EXIF block when there is one
    bool rgbWithoutAdobeMarker = false; // RGB recognised only by its component ids
    bool arithmetic = false;            // arithmetic coding instead of Huffman tables
};

bool writeJpegWith(const QString &path, const QImage &image, const JpegOptions &options = {});
// An APP1 payload ("Exif\0\0" + little-endian TIFF) with orientation and, when dpi > 0,
// X/YResolution in inches.
QByteArray exifBlock(int orientation, int dpi);

struct PngOptions
{
    int colorType = 2; // 0 gray, 2 RGB, 3 palette (from an Indexed8 image), 4 gray + alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    int dotsPerMetre = 0;      // pHYs; 0 writes none
    int transparentIndex = -1; // palette images: a tRNS chunk making this entry transparent
};

// Samples come from `image`: gray from qGray (scaled down for depths below 8, from the 16-bit
// value for 16), colours from its pixels, palette indexes and table from an Indexed8 image.
bool writePngWith(const QString &path, const QImage &image, const PngOptions &options);

// Each frame an Indexed8 image of the same size with at most 256 colours; `transparentIndex`
// (when >= 0) is transparent in every frame.
bool writeGif(const QString &path, const QList<QImage> &frames, int transparentIndex = -1);

// A 16-bit per sample TIFF: gray when `gray`, otherwise RGB, from the image's 16-bit values.
bool writeTiff16(const QString &path, const QImage &image, bool gray);

} // namespace fixtures
