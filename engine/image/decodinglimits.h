#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace folioset::image {

// Images are decoded a row, a strip or a band of tiles at a time, so what bounds memory is what
// a decoder holds at once (a compressed strip, a band, a codec's tables), not the image's size:
// a 20,000 x 20,000 bilevel scan of a megabyte converts, a header declaring absurd dimensions or
// a strip of gigabytes is refused before anything is allocated.
inline constexpr int kMaxImageSide = 65535;
inline constexpr std::uint64_t kMaxHeldBytes = 256ULL * 1024 * 1024;
// The raw samples one page may decode to: a few seconds of compression. Keeps a tiny file that
// declares a vast, empty canvas from keeping the program busy for minutes.
inline constexpr std::uint64_t kMaxDecodedBytes = 4ULL * 1024 * 1024 * 1024;
// QImageReader's own ceiling, in megabytes, for the formats Qt decodes whole.
inline constexpr int kDecodeAllocationLimitMB = int(kMaxHeldBytes / (1024 * 1024));

// Once per process, before Qt reads an image: Qt's own decoding ceiling, and libtiff's
// process-wide message handlers silenced. Qt's TIFF plugin reports through those to standard
// error under a made-up file name; our own TIFF handles carry handlers of their own, and a file
// Qt cannot read is refused with its own reason.
void prepareQtImageReading();

// Each gives a reason when the image cannot be taken, nothing when it can.
std::optional<QString> checkDimensions(std::int64_t width, std::int64_t height);
std::optional<QString> checkHeldBytes(std::int64_t width, std::int64_t height,
                                      std::uint64_t heldBytes);
std::optional<QString> checkDecodedBytes(std::int64_t width, std::int64_t height,
                                         std::uint64_t decodedBytes);

} // namespace folioset::image
