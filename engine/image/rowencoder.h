#pragma once

#include "embeddedimage.h"

#include <QString>

#include <optional>
#include <vector>

namespace folioset::image {

struct EncodedRows
{
    std::vector<ByteRange> ranges; // the stream's pieces in the spill file, in order
    StreamFilter filter = StreamFilter::Flate;
};

// Takes an image's rows top to bottom and leaves them compressed in the spill file. A row is
// written in place at nextRow() and handed over with commitRow().
class RowEncoder
{
public:
    virtual ~RowEncoder() = default;

    virtual unsigned char *nextRow() = 0;
    // False, with a reason, when the encoder has failed; later rows are then wasted work.
    virtual bool commitRow(QString *reason) = 0;
    // After the last row; nothing, with a reason, when a row is missing or a write failed.
    virtual std::optional<EncodedRows> finish(QString *reason) = 0;
};

} // namespace folioset::image
