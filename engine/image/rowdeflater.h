#pragma once

#include "rowencoder.h"

#include <memory>
#include <optional>

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

// How an image's rows are compressed. Rows of whole pixels go through the PNG filter that suits
// each (tagged, /Predictor 15) and then `engine` at `level`; with `runLength`, untagged through
// zlib's run-length matching, which is both the smallest and the fastest on scans of text.
// Packed samples are never tagged.
struct DeflateMethod
{
    enum class Engine { Zlib, Libdeflate };
    Engine engine = Engine::Libdeflate;
    // bench/deflatevariants: 0.3% larger than 6 and a fifth faster on photos; zlib at 6 is 1.3%
    // larger and takes twice the time.
    int level = 5;
    bool runLength = false; // zlib only
};

// Compresses an image's rows, handed over top to bottom, into one zlib stream appended to the
// spill file. Rows gather into blocks of a few megabytes that worker threads filter and deflate
// while the caller decodes the next ones; the blocks' outputs, placed one after the other, are
// one stream. Unless the caller names a method, a trial on a sample of the first block picks
// the smaller of filtered rows through libdeflate and run-length zlib. A few blocks are held at
// a time, whatever the size of the image, and only the calling thread touches the spill file.
class RowDeflater final : public RowEncoder
{
public:
    // `threads` 0: defaultThreads().
    RowDeflater(const RowLayout &layout, SpillFile &spill, int threads = 0,
                std::optional<DeflateMethod> method = std::nullopt);
    ~RowDeflater();
    RowDeflater(const RowDeflater &) = delete;
    RowDeflater &operator=(const RowDeflater &) = delete;

    unsigned char *nextRow() override;
    bool commitRow(QString *reason) override;
    // FlatePredict when the rows carry PNG filter tags (/Predictor 15), else Flate.
    std::optional<EncodedRows> finish(QString *reason) override;

    // Worker threads for one image; at least 1.
    static int defaultThreads();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace folioset::image
