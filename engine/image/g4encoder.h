#pragma once

#include "rowencoder.h"

#include <memory>

namespace folioset::image {

class SpillFile;

// Encodes a bilevel image as CCITT Group 4 with libtiff's own codec. libtiff writes a one-strip
// TIFF whose bytes go straight to the end of the spill file; the strip is the stream, the rest
// is left unused. Rows are (width + 7) / 8 bytes, most significant bit first; a set bit is coded
// as black, a clear one as white, so a reader with /BlackIs1 true gets the same bits back.
// Nothing else may append to the spill file until finish() returns.
class G4Encoder final : public RowEncoder
{
public:
    // nullptr, with a reason, when libtiff cannot start the codec.
    static std::unique_ptr<G4Encoder> create(int width, int height, SpillFile &spill,
                                             QString *reason);
    ~G4Encoder() override;

    unsigned char *nextRow() override;
    bool commitRow(QString *reason) override;
    std::optional<EncodedRows> finish(QString *reason) override;

private:
    struct Private;
    explicit G4Encoder(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace folioset::image
