#pragma once

#include "embeddedimage.h"

#include <QString>

#include <optional>

#include <sys/stat.h>

namespace folioset::image {

struct JpegFacts
{
    int width = 0;
    int height = 0;
    ColorSpace colorSpace = ColorSpace::Rgb;
    bool adobeInverted = false;       // CMYK written inverted, as Adobe applications do
    bool rgbWithoutTransform = false; // three components stored as RGB, not YCbCr
    bool progressive = false;
    bool arithmetic = false; // PDF readers cannot be trusted with arithmetic coding
    Resolution resolution;
    int orientation = 1;
    QByteArray iccProfile; // APP2 pieces joined, checked
    std::int64_t fileSize = 0;
    std::int64_t modified = -1;   // modificationTime() of the file read
    std::uint64_t dataLength = 0; // bytes to embed, from the start of the file
};

// Reads the markers up to the first scan with libjpeg and checks that the data ends with an
// end-of-image marker; the compressed scans in between are not read. nullopt, with a reason,
// for a file that is not a complete JPEG.
std::optional<JpegFacts> readJpegFacts(const QString &path, QString *reason);

// The same for a file already open as `fd`, whose fstat is `status` and whose first bytes,
// read already, are `head`: a small file is then read once, whole.
std::optional<JpegFacts> readJpegFacts(int fd, const struct stat &status, const QByteArray &head,
                                       QString *reason);

// The header facts of JPEG data made of `prefix` and then `length` bytes of the file at `offset`
// (the file fields are left unset): a JPEG that a TIFF stores as shared tables and a strip.
std::optional<JpegFacts> readJpegStreamFacts(const QString &path, const QByteArray &prefix,
                                             std::uint64_t offset, std::uint64_t length,
                                             QString *reason);

// Makes the JPEG stream that `origin` gives (its start-of-image marker first, in the prefix or
// at the first range) say outright that its three components are RGB: an Adobe segment with
// colour transform 0 right after that marker. Without it the data leaves the question to the
// reader, and readers answer it differently (component ids, /ColorTransform, a default of
// their own). The coded data stays as it is.
void sayComponentsAreRgb(StreamOrigin &origin);

} // namespace folioset::image
