#pragma once

#include "embeddedimage.h"

#include <QImage>
#include <QString>

#include <optional>

namespace folioset::pdf {

class SpillFile;

// Stores a decoded image losslessly in the spill file in the PDF form closest to its own:
// 1-bit stays 1-bit, palettes stay palettes (packed to 1, 2 or 4 bits when they fit), gray
// stays gray, 16 bits per channel stay 16 bits; alpha becomes a soft mask.
std::optional<EmbeddedImage> embedDecodedImage(const QImage &image, SpillFile &spill,
                                               QString *reason);

// The same picture as an Indexed8 image when it has at most 256 distinct colours (alpha
// included), otherwise a null image. Qt composes GIF frames in 32 bits; this gives the palette
// back, which makes a third of the data or less.
QImage toPalette(const QImage &image);

} // namespace folioset::pdf
