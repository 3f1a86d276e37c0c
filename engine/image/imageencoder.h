#pragma once

#include "embeddedimage.h"

#include <QString>

#include <optional>

namespace folioset::image {

class RowReader;
class SpillFile;

// Reads every row of `reader` once and leaves the image compressed in the spill file: a 1-bit
// image of one component as CCITT Group 4, anything else as zlib data, with a row predictor
// where it pays. Alpha becomes a soft mask, left out when every pixel turns out opaque. Refuses
// an image whose samples pass the decoding limit before reading a row.
std::optional<EmbeddedImage> encodeImage(RowReader &reader, SpillFile &spill, QString *reason);

} // namespace folioset::image
