#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace folioset::pdf {

// The largest image the program decodes or embeds. A 12,000 x 9,000 photo (108 megapixels) fits
// with room to spare; a header declaring more is refused before any pixel is allocated, so a
// hostile or damaged file cannot exhaust memory.
inline constexpr std::int64_t kMaxImagePixels = 16384LL * 16384LL;
inline constexpr int kMaxImageSide = 65535;
// QImageReader's own ceiling, in megabytes: the largest permitted image at 64 bits per pixel,
// plus room for the decoder's working rows.
inline constexpr int kDecodeAllocationLimitMB = int(kMaxImagePixels * 8 / (1024 * 1024)) + 64;

// A reason when `width` x `height` cannot be embedded, nothing when it can.
std::optional<QString> checkDimensions(std::int64_t width, std::int64_t height);

} // namespace folioset::pdf
