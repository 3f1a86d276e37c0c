#pragma once

#include "embeddedimage.h"

#include <QString>

#include <functional>
#include <optional>

namespace folioset::pdf {

class SpillFile;

// Writes row `y` of the image, `rowBytes` bytes, into `row`. Called from several threads at
// once and for rows in any order, so it may only read what it shares.
using RowSource = std::function<void(int y, unsigned char *row)>;

struct RowLayout
{
    int height = 0;
    std::size_t rowBytes = 0;
    // Bytes per whole pixel, for PNG row filters; 0 for packed samples (below 8 bits, palette
    // indices, masks) that the filters do not help.
    int bytesPerPixel = 0;
};

struct CompressedRows
{
    ByteRange range;        // the zlib stream's place in the spill file
    bool predicted = false; // rows carry PNG filter tags (/Predictor 15)
};

// Compresses the rows into one zlib stream appended to `spill`. The filter and the zlib
// settings are chosen for the image from a trial on a sample of its rows; large images are
// compressed in parallel slices that join into a single stream, on up to `threads` threads
// (0: compressionThreads()).
std::optional<CompressedRows> compressRows(const RowLayout &layout, const RowSource &source,
                                           SpillFile &spill, QString *reason, int threads = 0);

// Threads that compressRows may use for one image; at least 1.
int compressionThreads();

} // namespace folioset::pdf
