#pragma once

#include "embeddedimage.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace folioset::image {

// The samples of a decoded image in the form a PDF image holds them.
struct RowFormat
{
    int width = 0;
    int height = 0;
    ColorSpace colorSpace = ColorSpace::Gray;
    int bitsPerComponent = 8; // 1, 2, 4, 8 or 16
    QByteArray palette;       // Indexed: RGB triples
    bool invertedDecode = false;
    int alphaBits = 0; // 0: opaque; 8 or 16: an alpha sample per pixel, in a row of its own
    QByteArray iccProfile;

    int components() const;
    std::size_t colourRowBytes() const;
    std::size_t alphaRowBytes() const;
    // Raw samples for the whole image, colour and alpha.
    std::uint64_t decodedBytes() const;
};

// Decodes an image a row at a time, top to bottom, holding no more of it than its format needs
// (a strip, a band of tiles, a few rows).
class RowReader
{
public:
    virtual ~RowReader() = default;

    const RowFormat &format() const { return m_format; }

    // Writes the next row: colour samples packed most significant bit first, 16-bit samples
    // big-endian, rows padded to a whole byte, into `colour`; alpha samples into `alpha` when the
    // format has them. False, with a reason, when the data is damaged or cut short.
    virtual bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) = 0;

protected:
    // False, with a reason, when holding `heldBytes` while reading would pass the decoding
    // limit.
    bool fitsLimit(std::uint64_t heldBytes, QString *reason) const;
    // Opens `path` into `file` for reading; false, with a reason, when it cannot.
    static bool openFile(QFile &file, const QString &path, QString *reason);

    RowFormat m_format;
};

} // namespace folioset::image
