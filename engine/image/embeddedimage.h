#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace folioset::image {

enum class ColorSpace { Gray, Rgb, Cmyk, Indexed };

// How the stream bytes are compressed, which is also how a PDF reader must decode them.
enum class StreamFilter {
    Dct,          // JPEG bytes as found in the file
    Flate,        // zlib data, no row prediction
    FlatePredict, // zlib data of PNG-filtered rows (/Predictor 15)
    CcittG4,      // CCITT Group 4 of 1-bit samples, a set bit coded as black
};

struct ByteRange
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// Where an image stream's bytes live until the document is written. Nothing here holds pixels.
struct StreamOrigin
{
    enum class Kind { SourceFile, SpillFile };
    Kind kind = Kind::SpillFile;
    QString path;                  // SourceFile: the image file
    std::int64_t fileSize = -1;    // SourceFile: its size when the page was made
    std::int64_t modified = -1;    // SourceFile: its modification time then, when known
    QByteArray prefix;             // bytes that come before the ranges (a TIFF's JPEG tables)
    std::vector<ByteRange> ranges; // concatenated in order

    std::uint64_t totalLength() const;
    // SourceFile: the file opened for reading (the caller closes it) while it keeps the size and
    // time it had when the page was made; -1 when it is gone or changed.
    int openUnchanged() const;
    // Bytes of an image file, which must keep its size and time until they are copied.
    static StreamOrigin inFile(const QString &path, std::int64_t fileSize, std::int64_t modified,
                               std::vector<ByteRange> ranges);
};

int componentsOf(ColorSpace space);

// One image XObject as the PDF will carry it.
struct EmbeddedImage
{
    int width = 0;
    int height = 0;
    int bitsPerComponent = 8;
    ColorSpace colorSpace = ColorSpace::Rgb;
    QByteArray palette;                    // Indexed: RGB triples, one per entry
    bool invertedDecode = false;           // Adobe CMYK JPEG, or a 1-bit image whose 0 is white
    bool dctWithoutColorTransform = false; // a JPEG that stores RGB rather than YCbCr
    StreamFilter filter = StreamFilter::Flate;
    StreamOrigin origin;
    std::shared_ptr<const EmbeddedImage> softMask; // alpha, DeviceGray
    // The colour space's profile (of the palette's colours for Indexed), checked to suit it;
    // empty: device colour.
    QByteArray iccProfile;

    int components() const;
};

// Resolution as stored in the file; 0 when the file says nothing.
struct Resolution
{
    double x = 0;
    double y = 0;

    bool isKnown() const { return x > 0 && y > 0; }
};

// What a page's layout needs to know about its image, read from the headers.
struct ImageFacts
{
    int width = 0; // pixels, as stored
    int height = 0;
    Resolution resolution;
    int orientation = 1; // EXIF orientation, 1..8
};

// Everything a page needs to know about its image.
struct PageImage
{
    EmbeddedImage image;
    Resolution resolution;
    int orientation = 1; // EXIF orientation, 1..8; 1 is upright
};

} // namespace folioset::image
