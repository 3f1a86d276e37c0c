#pragma once

#include "rowencoder.h"

#include <memory>

namespace folioset::image {

class SpillFile;

struct RowLayout
{
    int height = 0;
    std::size_t rowBytes = 0;
    // Bytes per whole pixel, for PNG row filters; 0 for packed samples (below 8 bits, palette
    // indices) that the filters do not help.
    int bytesPerPixel = 0;
};

// Compresses an image's rows, handed over top to bottom, into one zlib stream appended to the
// spill file. Rows gather into blocks of a few megabytes that worker threads filter and deflate
// while the caller decodes the next ones; each block starts from the last 32 KiB of the one
// before, so the blocks join into one stream as small as a single pass would make. The filter
// and zlib settings come from a trial on the first block. A few blocks are held at a time,
// whatever the size of the image, and only the calling thread touches the spill file.
class RowDeflater final : public RowEncoder
{
public:
    // `threads` 0: defaultThreads().
    RowDeflater(const RowLayout &layout, SpillFile &spill, int threads = 0);
    ~RowDeflater();
    RowDeflater(const RowDeflater &) = delete;
    RowDeflater &operator=(const RowDeflater &) = delete;

    unsigned char *nextRow() override;
    bool commitRow(QString *reason) override;
    // Flate, or FlatePredict when the rows carry PNG filter tags (/Predictor 15).
    std::optional<EncodedRows> finish(QString *reason) override;

    // Worker threads for one image; at least 1.
    static int defaultThreads();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace folioset::image
