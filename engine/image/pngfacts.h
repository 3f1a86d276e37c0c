#pragma once

#include "embeddedimage.h"

#include <QString>

#include <optional>

namespace folioset::image {

struct PngFacts
{
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colorType = 0; // 0 gray, 2 RGB, 3 palette, 4 gray + alpha, 6 RGB + alpha
    bool interlaced = false;
    bool hasTransparency = false; // a tRNS chunk
    QByteArray transparency;      // its data: a colour's 16-bit samples, or palette alphas
    QByteArray palette;           // PLTE: RGB triples
    QByteArray iccProfile;        // iCCP, inflated; checked where it is used
    Resolution resolution;
    std::int64_t fileSize = 0;
    std::int64_t modified = -1;  // modificationTime() of the file read
    std::vector<ByteRange> idat; // the compressed data, chunk by chunk

    // The zlib stream can go into the PDF unchanged: PNG row filters are PDF's predictor 15, and
    // every depth of gray, RGB and palette exists in PDF too. Interlacing and alpha do not.
    bool isCarriable() const;
    int channels() const;
};

// Walks the chunk headers (IHDR, PLTE, tRNS, pHYs, iCCP are read; IDAT only located) and checks
// that the file is whole up to IEND. nullopt, with a reason, for a damaged or truncated file.
std::optional<PngFacts> readPngFacts(const QString &path, QString *reason);

} // namespace folioset::image
